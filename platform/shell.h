// The desktop's side of files: which program opens a file, its icon, and
// starting programs.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QIcon>

namespace platform {

struct AssociatedProgram {
    // What the person knows it by: the program's name, or the file type's
    // description when the desktop names no program for the type.
    std::string name;
    std::string desktopId;  // "org.example.Player.desktop"; empty when no program is known
    std::string exec;       // the desktop entry's command line; empty when unknown
    std::string iconName;   // the entry's or the type's theme icon name
    std::string mimeType;
};

// The program for a file, found by its type (name and content) and the desktop's
// default application for that type. nullopt for a missing file, a path that
// does not map, or a file of no known type that no program claims.
std::optional<AssociatedProgram> FindExecutable(const std::string& pcPath);

// The program's icon, else the file type's, else a generic file icon: never null.
QIcon ExtractIcon(const AssociatedProgram& program);

// Opens the file with its program (the desktop's way). False when nothing could
// be started.
bool ShellOpenFile(const std::string& pcPath);

// Starts program with the PC file as its argument, from the program's desktop
// entry when it has one, else the desktop's way.
bool OpenWithProgram(const AssociatedProgram& program, const std::string& pcPath,
                     const std::string& pcWorkDir);

// Starts a program detached. program is a PC path or a bare name looked up on
// PATH; workDir a PC folder (empty: the current one).
bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::string& pcWorkDir);

// The argument list of a desktop entry's Exec line for one file: field codes for
// files and URLs take the path (appended when there is none), the others go.
std::vector<std::string> ExpandExecLine(const std::string& exec, const std::string& hostPath);

}  // namespace platform
