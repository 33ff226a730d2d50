#include "arguments.h"

#include <charconv>

namespace quorvel::cli {

bool parsed_args::has(std::string_view name) const {
    for (const auto& [n, v] : options)
        if (n == name) return true;
    return false;
}

std::string parsed_args::value(std::string_view name, std::string_view fallback) const {
    for (auto it = options.rbegin(); it != options.rend(); ++it)
        if (it->first == name) return it->second;
    return std::string(fallback);
}

std::vector<std::string> parsed_args::values(std::string_view name) const {
    std::vector<std::string> out;
    for (const auto& [n, v] : options)
        if (n == name) out.push_back(v);
    return out;
}

long parsed_args::number(std::string_view name, long fallback, long min, long max) const {
    if (!has(name)) return fallback;
    const std::string text = value(name);
    long n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < min || n > max)
        throw usage_error("--" + std::string(name) + " wants a whole number from " + std::to_string(min) + " to " +
                          std::to_string(max) + ", not '" + text + "'");
    return n;
}

namespace {

const option_spec* find_long(std::span<const option_spec> options, std::string_view name) {
    for (const option_spec& o : options)
        if (o.name == name) return &o;
    return nullptr;
}

const option_spec* find_short(std::span<const option_spec> options, char c) {
    for (const option_spec& o : options)
        if (o.short_name == c) return &o;
    return nullptr;
}

}  // namespace

parsed_args parse_arguments(std::span<char* const> args, std::span<const option_spec> options) {
    parsed_args out;
    bool only_operands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (only_operands || arg == "-" || arg.size() < 2 || arg[0] != '-') {
            out.operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            only_operands = true;
            continue;
        }
        // The value of an option that takes one: attached, or the next argument.
        const auto take_value = [&](const option_spec& o, std::string_view attached, bool has_attached) {
            if (has_attached) return std::string(attached);
            if (i + 1 >= args.size()) throw usage_error("option --" + std::string(o.name) + " needs a " +
                                                        std::string(o.value));
            return std::string(args[++i]);
        };
        if (arg[1] == '-') {
            const std::string_view body = arg.substr(2);
            const std::size_t eq = body.find('=');
            const std::string_view name = body.substr(0, eq);
            const option_spec* o = find_long(options, name);
            if (!o) throw usage_error("unknown option --" + std::string(name));
            if (o->value.empty()) {
                if (eq != std::string_view::npos) throw usage_error("option --" + std::string(name) + " takes no value");
                out.options.emplace_back(o->name, "");
            } else {
                out.options.emplace_back(
                    o->name, take_value(*o, eq == std::string_view::npos ? "" : body.substr(eq + 1),
                                        eq != std::string_view::npos));
            }
            continue;
        }
        for (std::size_t k = 1; k < arg.size(); ++k) {
            const option_spec* o = find_short(options, arg[k]);
            if (!o) throw usage_error("unknown option -" + std::string(1, arg[k]));
            if (o->value.empty()) {
                out.options.emplace_back(o->name, "");
                continue;
            }
            out.options.emplace_back(o->name, take_value(*o, arg.substr(k + 1), k + 1 < arg.size()));
            break;
        }
    }
    return out;
}

std::string describe_options(std::span<const option_spec> options) {
    std::string out;
    for (const option_spec& o : options) {
        std::string left = "  ";
        left += o.short_name ? std::string{'-', o.short_name, ',', ' '} : std::string("    ");
        left += "--";
        left += o.name;
        if (!o.value.empty()) {
            left += ' ';
            left += o.value;
        }
        if (left.size() < 30) left.resize(30, ' ');
        else left += "\n" + std::string(30, ' ');
        out += left;
        out += o.help;
        out += '\n';
    }
    return out;
}

}  // namespace quorvel::cli
