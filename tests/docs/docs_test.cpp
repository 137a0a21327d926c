// Documentation against the programs' own tables: every tlx1ctl command and option (as
// `tlx1ctl --help` lists them), every parameter name of the driver and every menu item of the
// panel catalogue, with its keys, is in the manual pages, the operator manual and the bash completion.
#include "driver/okvtlx1_frames.h"
#include "platform/text/textformat.h"
#include "platform/userint/userint_view.h"
#include "ui/TLX1Steuerung.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <sys/wait.h>

namespace {

std::string Datei(const std::string &pfad)
{
    std::ifstream f(std::string(TLX1_SOURCE_DIR) + "/" + pfad, std::ios::binary);
    EXPECT_TRUE(f.good()) << pfad;
    return {std::istreambuf_iterator<char>(f), {}};
}

// What a command prints on standard output.
std::string Ausgabe(const std::string &befehl)
{
    std::string text;
    const std::unique_ptr<FILE, int (*)(FILE *)> p(popen(befehl.c_str(), "r"), pclose);
    char puffer[4096];
    for (std::size_t n; p && (n = std::fread(puffer, 1, sizeof puffer, p.get())) > 0;)
        text.append(puffer, n);
    return text;
}

// A name as roff writes it: each '-' as "\-".
std::string Roff(const std::string &text)
{
    return std::regex_replace(text, std::regex("-"), "\\-");
}

// The commands of `tlx1ctl --help` (the first word of each line below "Befehle:") and every option
// that its help and the commands' helps name.
struct Tabellen {
    std::vector<std::string> befehle;
    std::set<std::string> optionen;
};

Tabellen AusDerHilfe()
{
    Tabellen t;
    const std::string hilfe = Ausgabe(TLX1CTL_PATH " --help");
    const std::regex befehlszeile("\\n  ([a-z][a-z-]*)");
    const std::size_t anfang = hilfe.find("Befehle:"), ende = hilfe.find("\n\n", anfang);
    const std::string block = hilfe.substr(anfang, ende - anfang);
    for (std::sregex_iterator it(block.begin(), block.end(), befehlszeile), e; it != e; ++it)
        t.befehle.push_back((*it)[1]);
    const std::regex option("--[a-z][a-z-]*");
    std::string alle = hilfe;
    for (const std::string &b : t.befehle)
        alle += Ausgabe(TLX1CTL_PATH " " + b + " --help");
    for (std::sregex_iterator it(alle.begin(), alle.end(), option), e; it != e; ++it)
        t.optionen.insert(it->str());
    return t;
}

TEST(Docs, EveryTlx1ctlCommandAndOptionIsDocumented)
{
    const Tabellen t = AusDerHilfe();
    ASSERT_GE(t.befehle.size(), 10u);
    ASSERT_TRUE(t.optionen.count("--rate") && t.optionen.count("--version"));
    const std::string man = Datei("docs/man/tlx1ctl.1.in");
    const std::string handbuch = Datei("docs/handbuch.md");
    const std::string vervollstaendigung = Datei("tools/tlx1ctl.bash-completion");
    const std::string readme = Datei("tools/README.md");
    for (const std::string &b : t.befehle) {
        // In a regular expression roff's "\-" is written "\\-".
        const std::string roff = std::regex_replace(b, std::regex("-"), "\\\\-");
        EXPECT_TRUE(std::regex_search(man, std::regex("\\n\\.B[IR]? " + roff + "( |\\n)"))) << "tlx1ctl.1: " << b;
        EXPECT_TRUE(std::regex_search(handbuch, std::regex("`" + b + "[ `]"))) << "handbuch.md: " << b;
        EXPECT_TRUE(std::regex_search(vervollstaendigung, std::regex("befehle=\"[^\"]*\\b" + b + "( |\")")))
            << "completion: " << b;
        EXPECT_NE(readme.find("| `" + b), std::string::npos) << "tools/README.md: " << b;
    }
    for (const std::string &o : t.optionen) {
        EXPECT_NE(man.find(Roff(o)), std::string::npos) << "tlx1ctl.1: " << o;
        EXPECT_NE(vervollstaendigung.find(o), std::string::npos) << "completion: " << o;
    }
    for (const auto &p : okvtlx1_intern::kParameter)
        EXPECT_TRUE(std::regex_search(vervollstaendigung, std::regex("[\" ]" + std::string(p.name) + "[\" \n]")))
            << "completion: " << p.name;
}

TEST(Docs, EveryMenuItemIsDocumented)
{
    UiTest_Reset();
    TLX1Steuerung_PanelDateiRegistrieren();
    const int panel = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
    ASSERT_GT(panel, 0);
    const MenuBarDef *leiste = UiModel_PanelDef(panel)->menuBar;
    ASSERT_NE(leiste, nullptr);
    const std::string man = Datei("docs/man/tlx1steuerung.1.in");
    const std::string handbuch = Datei("docs/handbuch.md");
    int anzahl = 0;
    // A key as the manual writes it: "Ctrl+O" is "Strg+O".
    const auto taste = [](const std::string &t) { return std::regex_replace(t, std::regex("Ctrl\\+"), "Strg+"); };
    for (int m = 0; m < leiste->menuCount; ++m) {
        const MenuDef &menu = leiste->menus[m];
        const std::string titel = Utf8AusCp1252(menu.title);
        // The keys: "Alt+D" in the manual and on the page; each shortcut in the manual's table
        // "| Strg+O | Datei > Parametersatz laden |" and on the page.
        if (menu.mnemonic != 0) {
            const std::string alt = "Alt+" + std::string(1, menu.mnemonic);
            EXPECT_NE(handbuch.find(alt), std::string::npos) << "handbuch.md: " << alt;
            EXPECT_NE(man.find(alt), std::string::npos) << "tlx1steuerung.1: " << alt;
        }
        for (int i = 0; i < menu.itemCount; ++i) {
            if (menu.items[i].separator)
                continue;
            const std::string punkt = Utf8AusCp1252(menu.items[i].text);
            ++anzahl;
            // The manual's table "Die Menüs": | Menü | **Menüpunkt** | ...; the page: .B "Menü \(-> Punkt"
            EXPECT_NE(handbuch.find("| " + titel + " | **" + punkt + "** |"), std::string::npos)
                << "handbuch.md: " << titel << " > " << punkt;
            EXPECT_NE(man.find(".B \"" + titel + " \\(-> " + punkt + "\""), std::string::npos)
                << "tlx1steuerung.1: " << titel << " > " << punkt;
            if (const char *kurz = menu.items[i].shortcut) {
                EXPECT_NE(handbuch.find("| " + taste(kurz) + " | " + titel + " > " + punkt + " |"), std::string::npos)
                    << "handbuch.md: " << kurz << " for " << titel << " > " << punkt;
                EXPECT_NE(man.find(taste(kurz)), std::string::npos) << "tlx1steuerung.1: " << kurz;
            }
        }
    }
    EXPECT_GE(anzahl, 5);  // the items the program started with are read
    UiTest_Reset();
}

// No display needed: the window program reads its command line before any Qt object exists.
TEST(Programs, TellTheirVersionAndRefuseUnknownOptions)
{
    std::vector<std::pair<std::string, std::string>> programme = {{"tlx1ctl", TLX1CTL_PATH}, {"tlx1sim", TLX1SIM_PATH}};
#ifdef TLX1STEUERUNG_PATH
    programme.emplace_back("tlx1steuerung", TLX1STEUERUNG_PATH);
#endif
    for (const auto &[name, pfad] : programme) {
        const std::string ohneAnzeige = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + pfad;
        EXPECT_EQ(Ausgabe(ohneAnzeige + " --version"), name + " " TLX1_VERSION_TEXT "\n");
        EXPECT_EQ(WEXITSTATUS(std::system((ohneAnzeige + " --bogus 2>/dev/null").c_str())), 2) << name;
    }
}

}  // namespace
