#pragma once
// The user's own folders on a Linux desktop, as the XDG base directory and user directory
// conventions name them. Paths are as the file system spells them (UTF-8 on a usual desktop).
#include <string>

// $XDG_CONFIG_HOME when it holds an absolute path, else $HOME/.config. "" when no home folder is
// known (HOME unset or not absolute and no entry in the password database).
std::string KonfigurationsOrdner();

// The documents folder: $XDG_DOCUMENTS_DIR, else XDG_DOCUMENTS_DIR of user-dirs.dirs in the
// configuration folder, each only when it is an existing folder; else the home folder. "" when no
// home folder is known.
std::string DokumenteOrdner();

// The folder the running program was started from (its file, links resolved), e.g. "/usr/bin"; ""
// when the system does not tell.
std::string ProgrammOrdner();

// Creates the folder with every missing parent, each with the permission bits `modus`; folders that
// already exist keep theirs. 0, or the errno of the step that failed (ENOTDIR: a part is a file).
int OrdnerAnlegen(const std::string &pfad, unsigned modus);
