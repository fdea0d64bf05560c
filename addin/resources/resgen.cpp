// Resource compiler of the add-in: reads the string table and the menu resources (readable text files)
// and writes one C++ source with them as constant tables. Errors name the file and line and fail the
// build.
//
// String table lines:   ID [NAME] "text"     (C escapes \n \t \" \\ and \xHH; '#' starts a comment line)
//                       NAME, where given, is the string's name in code: the ids header declares
//                       the constant kNAME = ID (namespace qs::ids) and the names list pairs
//                       NAME and ID for the report template compiler.
// Menu resource files:  MENU ID / POPUP "text" [GRAYED] / ITEM "text" ID [GRAYED] / SEPARATOR / END
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Error {
    std::string text;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& what) {
    throw Error{file + ":" + std::to_string(line) + ": " + what};
}

// Reads a quoted C string starting at s[pos] == '"'; returns the bytes and moves pos past the quote.
std::string ReadQuoted(const std::string& s, size_t& pos, const std::string& file, int line) {
    if (pos >= s.size() || s[pos] != '"') Fail(file, line, "expected a quoted text");
    std::string out;
    ++pos;
    while (true) {
        if (pos >= s.size()) Fail(file, line, "unterminated text");
        char c = s[pos++];
        if (c == '"') break;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= s.size()) Fail(file, line, "bad escape");
        char e = s[pos++];
        switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                if (pos + 2 > s.size() || !isxdigit((unsigned char)s[pos]) || !isxdigit((unsigned char)s[pos + 1]))
                    Fail(file, line, "bad \\x escape");
                out += static_cast<char>(std::stoi(s.substr(pos, 2), nullptr, 16));
                pos += 2;
                break;
            }
            default: Fail(file, line, std::string("unknown escape \\") + e);
        }
    }
    return out;
}

void SkipBlanks(const std::string& s, size_t& pos) {
    while (pos < s.size() && isspace((unsigned char)s[pos])) ++pos;
}

std::string Word(const std::string& s, size_t& pos) {
    SkipBlanks(s, pos);
    size_t b = pos;
    while (pos < s.size() && !isspace((unsigned char)s[pos])) ++pos;
    return s.substr(b, pos - b);
}

long Number(const std::string& w, const std::string& file, int line) {
    if (w.empty()) Fail(file, line, "expected a number");
    size_t used = 0;
    long v = 0;
    try {
        v = std::stol(w, &used, 0);
    } catch (...) {
        Fail(file, line, "bad number '" + w + "'");
    }
    if (used != w.size()) Fail(file, line, "bad number '" + w + "'");
    return v;
}

std::string CLiteral(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);  // octal: never swallows following digits
            out += buf;
        }
    }
    return out + "\"";
}

bool IsName(const std::string& w) {
    if (w.empty() || !(isalpha((unsigned char)w[0]) || w[0] == '_')) return false;
    for (char c : w)
        if (!isalnum((unsigned char)c) && c != '_') return false;
    return true;
}

// The names given to strings, in name order, each with its id.
using Names = std::map<std::string, long>;

void ReadStrings(const std::string& file, std::map<long, std::string>& table, Names& names) {
    std::ifstream in(file);
    if (!in) Fail(file, 0, "cannot open");
    std::string s;
    int line = 0;
    while (std::getline(in, s)) {
        ++line;
        size_t pos = 0;
        SkipBlanks(s, pos);
        if (pos >= s.size() || s[pos] == '#') continue;
        long id = Number(Word(s, pos), file, line);
        if (id < 0 || id > 65535) Fail(file, line, "string id out of range");
        SkipBlanks(s, pos);
        if (pos < s.size() && s[pos] != '"') {
            std::string name = Word(s, pos);
            if (!IsName(name)) Fail(file, line, "bad string name '" + name + "'");
            if (!names.emplace(name, id).second) Fail(file, line, "string name " + name + " given twice");
            SkipBlanks(s, pos);
        }
        std::string text = ReadQuoted(s, pos, file, line);
        SkipBlanks(s, pos);
        if (pos < s.size()) Fail(file, line, "text after the string");
        if (!table.emplace(id, text).second) Fail(file, line, "string " + std::to_string(id) + " defined twice");
    }
}

struct Item {
    std::string text;
    long id = 0;
    int kind = 0;  // 0 command, 1 popup, 2 separator
    bool grayed = false;
    std::vector<Item> children;
};

struct Menu {
    long id;
    std::vector<Item> items;
};

void ReadMenu(const std::string& file, std::vector<Menu>& menus) {
    std::ifstream in(file);
    if (!in) Fail(file, 0, "cannot open");
    std::string s;
    int line = 0;
    std::vector<std::vector<Item>*> stack;
    Menu* menu = nullptr;
    while (std::getline(in, s)) {
        ++line;
        size_t pos = 0;
        SkipBlanks(s, pos);
        if (pos >= s.size() || s[pos] == '#') continue;
        std::string kw = Word(s, pos);
        auto flags = [&](Item& it) {
            std::string w;
            while (!(w = Word(s, pos)).empty()) {
                if (w == "GRAYED")
                    it.grayed = true;
                else
                    Fail(file, line, "unknown flag " + w);
            }
        };
        if (kw == "MENU") {
            if (menu && !stack.empty()) Fail(file, line, "MENU inside a menu");
            menus.push_back(Menu{Number(Word(s, pos), file, line), {}});
            menu = &menus.back();
            stack.assign(1, &menu->items);
            continue;
        }
        if (stack.empty()) Fail(file, line, kw + " outside a MENU");
        if (kw == "END") {
            stack.pop_back();
            continue;
        }
        Item it;
        SkipBlanks(s, pos);
        if (kw == "POPUP") {
            it.kind = 1;
            it.text = ReadQuoted(s, pos, file, line);
            flags(it);
            stack.back()->push_back(it);
            stack.push_back(&stack.back()->back().children);
        } else if (kw == "ITEM") {
            it.text = ReadQuoted(s, pos, file, line);
            it.id = Number(Word(s, pos), file, line);
            if (it.id <= 0 || it.id > 65535) Fail(file, line, "command id out of range");
            flags(it);
            stack.back()->push_back(it);
        } else if (kw == "SEPARATOR") {
            it.kind = 2;
            stack.back()->push_back(it);
        } else {
            Fail(file, line, "unknown keyword " + kw);
        }
    }
    if (!stack.empty()) Fail(file, line, "missing END");
}

// Pre-order, each node followed by its subtree; `size` counts the node and its whole subtree.
void Flatten(const std::vector<Item>& items, std::ostringstream& out, size_t& count) {
    for (const Item& it : items) {
        size_t before = count;
        std::ostringstream sub;
        ++count;
        Flatten(it.children, sub, count);
        out << "    {" << CLiteral(it.text) << ", " << it.id << ", " << it.kind << ", "
            << (it.grayed ? "true" : "false") << ", " << (count - before) << "},\n"
            << sub.str();
    }
}

// Writes `text` to `path` only when it differs, so that nothing depending on it is rebuilt for nothing.
void WriteIfChanged(const std::string& path, const std::string& text) {
    std::ifstream old(path, std::ios::binary);
    std::stringstream oldText;
    oldText << old.rdbuf();
    if (old && oldText.str() == text) return;
    std::ofstream o(path, std::ios::binary);
    o << text;
    if (!o) throw Error{"cannot write " + path};
}

std::string IdsHeader(const Names& names) {
    std::ostringstream out;
    out << "// Generated by resgen from the add-in's string tables. Do not edit.\n"
        << "// The ids of the strings the code names: kNAME for each \"ID NAME \\\"text\\\"\" line.\n"
        << "#pragma once\n\nnamespace qs::ids {\n\nenum : unsigned {\n";
    for (auto& [name, id] : names) out << "    k" << name << " = " << id << ",\n";
    out << "};\n\n}  // namespace qs::ids\n";
    return out.str();
}

std::string NamesList(const Names& names) {
    std::ostringstream out;
    for (auto& [name, id] : names) out << name << " " << id << "\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    // resgen OUT.cpp [--ids IDS.h] [--names NAMES.txt] STRINGS.txt [MORE.txt...] [MENU.menu...]:
    // files ending in ".menu" are menus, the others string tables (one id may be defined in one
    // file only, and one name given to one string only).
    std::string idsPath, namesPath;
    int first = 2;
    while (first + 1 < argc && (std::string(argv[first]) == "--ids" || std::string(argv[first]) == "--names")) {
        (std::string(argv[first]) == "--ids" ? idsPath : namesPath) = argv[first + 1];
        first += 2;
    }
    if (argc <= first) {
        std::cerr << "usage: resgen OUT.cpp [--ids IDS.h] [--names NAMES.txt] STRINGS.txt [MORE.txt...] "
                     "[MENU.menu...]\n";
        return 2;
    }
    try {
        std::map<long, std::string> strings;
        Names names;
        std::vector<Menu> menus;
        for (int i = first; i < argc; ++i) {
            std::string file = argv[i];
            if (file.size() > 5 && file.compare(file.size() - 5, 5, ".menu") == 0)
                ReadMenu(file, menus);
            else
                ReadStrings(file, strings, names);
        }

        std::ostringstream out;
        out << "// Generated by resgen from the add-in's resource files. Do not edit.\n"
            << "#include \"addin/resources/resources.h\"\n\nnamespace qs::res {\nnamespace {\n"
            << "const StringResource kStrings[] = {\n";
        for (auto& [id, text] : strings) out << "    {" << id << ", " << CLiteral(text) << "},\n";
        out << "};\n";
        for (const Menu& m : menus) {
            std::ostringstream body;
            size_t count = 0;
            Flatten(m.items, body, count);
            if (count == 0) throw Error{"menu " + std::to_string(m.id) + " is empty"};
            out << "const MenuNode kMenu" << m.id << "[] = {\n" << body.str() << "};\n";
        }
        out << "const MenuResource kMenus[] = {\n";
        for (const Menu& m : menus)
            out << "    {" << m.id << ", kMenu" << m.id << ", sizeof kMenu" << m.id << " / sizeof kMenu" << m.id
                << "[0]},\n";
        if (menus.empty()) out << "    {0, nullptr, 0},\n";
        out << "};\n}  // namespace\n\n"
            << "const StringResource* StringTable(size_t* count) {\n"
            << "    *count = sizeof kStrings / sizeof kStrings[0];\n    return kStrings;\n}\n"
            << "const MenuResource* MenuTable(size_t* count) {\n"
            << "    *count = " << menus.size() << ";\n    return kMenus;\n}\n"
            << "}  // namespace qs::res\n";
        WriteIfChanged(argv[1], out.str());
        if (!idsPath.empty()) WriteIfChanged(idsPath, IdsHeader(names));
        if (!namesPath.empty()) WriteIfChanged(namesPath, NamesList(names));
    } catch (const Error& e) {
        std::cerr << "resgen: " << e.text << "\n";
        return 1;
    }
    return 0;
}
