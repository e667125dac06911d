#include "core/options.h"

#include <algorithm>

namespace {

const CommandOption* Find(std::span<const CommandOption> table, const std::string& arg) {
    for (const CommandOption& option : table) {
        if (arg == option.name || (option.alias != nullptr && arg == option.alias)) {
            return &option;
        }
    }
    return nullptr;
}

std::string Written(const CommandOption& option) {
    std::string text = option.name;
    if (option.argument != nullptr) {
        text.append(" ").append(option.argument);
    }
    return text;
}

}  // namespace

OptionsEnd ParseOptions(std::span<const CommandOption> table, const std::vector<std::string>& args,
                        std::vector<std::string>* operands, std::string* error) {
    std::vector<const CommandOption*> given;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const CommandOption* option = optionsEnded ? nullptr : Find(table, arg);
        if (option == nullptr) {
            if (operands != nullptr && !optionsEnded && arg == "--") {
                optionsEnded = true;
            } else if (operands != nullptr &&
                       (optionsEnded || arg.size() <= 1 || arg.front() != '-')) {
                operands->push_back(arg);
            } else {
                *error = "unknown option: " + arg;
                return OptionsEnd::Wrong;
            }
            continue;
        }
        std::string value;
        if (option->argument != nullptr) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return OptionsEnd::Wrong;
            }
            value = args[++i];
        }
        if (option->take) {
            std::string why;
            if (!option->take(value, &why)) {
                if (why.empty()) {
                    why.append("bad value for ").append(arg).append(": ").append(value);
                }
                *error = std::move(why);
                return OptionsEnd::Wrong;
            }
        }
        if (option->ends) {
            return OptionsEnd::Stopped;
        }
        // An empty value gives a required option no more than its absence.
        if (option->argument == nullptr || !value.empty()) {
            given.push_back(option);
        }
    }
    for (const CommandOption& option : table) {
        if (option.required && std::find(given.begin(), given.end(), &option) == given.end()) {
            *error = Written(option) + " is required";
            return OptionsEnd::Wrong;
        }
    }
    return OptionsEnd::Parsed;
}

std::string OptionSynopsis(std::span<const CommandOption> table, std::size_t indent,
                           std::size_t width) {
    std::string text;
    std::size_t column = indent;
    for (const CommandOption& option : table) {
        if (option.help == nullptr) {
            continue;
        }
        const std::string item = option.required ? Written(option) : "[" + Written(option) + "]";
        if (!text.empty()) {
            if (column + 1 + item.size() >= width) {
                text += "\n" + std::string(indent, ' ');
                column = indent;
            } else {
                text += ' ';
                ++column;
            }
        }
        text += item;
        column += item.size();
    }
    return text;
}

std::string HelpLines(const std::vector<std::pair<std::string, std::string>>& rows) {
    std::size_t left = 0;
    for (const auto& [first, second] : rows) {
        left = std::max(left, first.size());
    }
    std::string text;
    for (const auto& [first, second] : rows) {
        text.append("  ").append(first).append(left - first.size() + 2, ' ');
        text.append(second).append("\n");
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> OptionRows(std::span<const CommandOption> table) {
    std::vector<std::pair<std::string, std::string>> rows;
    for (const CommandOption& option : table) {
        if (option.help != nullptr) {
            rows.emplace_back(
                (option.alias != nullptr ? std::string(option.alias) + ", " : std::string()) +
                    Written(option),
                option.help);
        }
    }
    return rows;
}

std::string OptionHelp(std::span<const CommandOption> table) {
    return HelpLines(OptionRows(table));
}
