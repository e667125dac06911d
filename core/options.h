// Command-line options, each declared once in a table with its argument and
// its help. The parser and the usage text both come from the table, so what a
// program accepts and what it says it accepts cannot drift apart.
#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <utility>
#include <vector>

struct CommandOption {
    const char* name;                // "--quiet"
    const char* alias = nullptr;     // "-q"
    const char* argument = nullptr;  // "PATH" when the option takes a value
    // Its line in the option list; none keeps the option out of the synopsis
    // and the list (--help, or an option some commands explain themselves).
    const char* help = nullptr;
    // Takes the value ("" for an option without one). False when the value is
    // not acceptable; *error then says why, or is left empty for the plain
    // "bad value for OPTION: VALUE".
    std::function<bool(const std::string& value, std::string* error)> take = nullptr;
    bool required = false;  // the command line must give it (with a value not empty)
    bool ends = false;      // ends the parse at once, successfully (--help)
};

enum class OptionsEnd {
    Parsed,   // every argument taken
    Stopped,  // an option that ends the parse was given
    Wrong,    // a usage error, *error says which
};

// Walks the arguments: an option of the table (by name or alias) takes the
// next argument as its value when it has one; "--" makes every later argument
// an operand; any other argument that starts with "-" (but "-" itself) is an
// unknown option; the rest are operands, in order. With no operands vector
// the program takes none, and every argument outside the table is an unknown
// option. The error texts name the option as the user wrote it.
OptionsEnd ParseOptions(std::span<const CommandOption> table, const std::vector<std::string>& args,
                        std::vector<std::string>* operands, std::string* error);

// The listed options for a usage line, "--disk DIR [--socket PATH] ...",
// required ones without brackets. Lines are broken before `width` columns;
// every line after the first starts with `indent` blanks, and the first is
// taken to start in column `indent` as well.
std::string OptionSynopsis(std::span<const CommandOption> table, std::size_t indent,
                           std::size_t width = 80);

// Two columns, the second aligned: "  left  right\n" a row.
std::string HelpLines(const std::vector<std::pair<std::string, std::string>>& rows);
// The listed options as rows for HelpLines: {"-q, --quiet", "no progress display"}.
std::vector<std::pair<std::string, std::string>> OptionRows(std::span<const CommandOption> table);
// HelpLines of the OptionRows: "  -q, --quiet  no progress display".
std::string OptionHelp(std::span<const CommandOption> table);
