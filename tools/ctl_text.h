#pragma once
// The name=value lines of a parameter-set text, as read-set prints them and write-set takes them.
#include <optional>
#include <string>
#include <string_view>

namespace tlx1ctl {

// One line of a parameter-set text: blank or comment (empty name), or name=value.
struct SatzZeile {
    std::string name;  // empty for a blank or comment line
    double wert = 0.0;
};

// Takes one line apart: '#' starts a comment, blanks around name and value are ignored, a
// trailing CR is dropped. On a malformed line returns std::nullopt and says why in *grund.
std::optional<SatzZeile> SatzZeileLesen(std::string_view zeile, std::string *grund);

}  // namespace tlx1ctl
