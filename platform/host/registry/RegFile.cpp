#include "platform/host/registry/RegFile.h"

#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

namespace host {

namespace {

bool IsControl(char c) noexcept {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

void AppendHex(std::string& out, const std::string& bytes) {
    char buffer[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : ",%02x",
                      static_cast<unsigned char>(bytes[i]));
        out += buffer;
    }
}

std::string PathOf(const std::string& parent, const std::string& name) {
    return parent == "\\" ? "\\" + name : parent + "\\" + name;
}

void AppendValue(std::string& out, TRegistry& registry, const std::string& name) {
    if (name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, name);
    }
    out += '=';
    switch (registry.GetDataType(name)) {
    case rdString: {
        const std::string text = registry.ReadString(name);
        bool plain = true;
        for (const char c : text) {
            plain = plain && !IsControl(c);
        }
        if (plain) {
            AppendQuoted(out, text);
        } else {
            out += "hex(1):";
            AppendHex(out, text);
        }
        break;
    }
    case rdInteger: {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x",
                      static_cast<std::uint32_t>(registry.ReadInteger(name)));
        out += buffer;
        break;
    }
    case rdBinary: {
        const auto data = registry.ReadBinaryData(name);
        out += "hex:";
        AppendHex(out, std::string(data.begin(), data.end()));
        break;
    }
    case rdUnknown:
        // Another process deleted it between listing and reading.
        throw ERegistryException("Value '" + name + "' not found in key '" +
                                 registry.CurrentPath() + "'");
    }
    out += '\n';
}

} // namespace

void ExportRegText(TRegistry& registry, std::string_view key, std::ostream& out) {
    // One snapshot, so a save by another process cannot land half-way through the export.
    TRegistryTransaction snapshot(registry);
    if (!registry.OpenKey(key, false)) {
        throw ERegistryException("Key '" + std::string(key) + "' not found in registry file '" +
                                 registry.FileName() + "'");
    }
    // Each key's section is written as soon as it is made, so memory holds one section and the
    // paths still to visit, whatever the depth or size of the tree.
    std::string section(RegFileHeader);
    section += "\n\n";
    struct TPending {
        std::string Path;
        std::size_t NameStart; // where the key's own name begins in Path
    };
    std::vector<TPending> pending{{registry.CurrentPath(), 0}};
    std::vector<std::string> names;
    while (!pending.empty()) {
        const TPending next = std::move(pending.back());
        pending.pop_back();
        const std::string& path = next.Path;
        const std::string& open = registry.CurrentPath();
        // A child of the open key opens by its name: a deep tree would otherwise be walked from
        // the root again for every key.
        const bool child = next.NameStart > 0 && path.starts_with(open) &&
                           next.NameStart == (open == "\\" ? 1 : open.size() + 1);
        const bool opened =
            child ? registry.OpenKey(std::string_view(path).substr(next.NameStart), false)
                  : registry.OpenKey(path, false);
        if (!opened) {
            continue; // deleted meanwhile by another process
        }
        registry.GetValueNames(names);
        if (path != "\\" || !names.empty()) {
            section += '[';
            section += path;
            section += "]\n";
            for (const auto& name : names) {
                AppendValue(section, registry, name);
            }
            section += '\n';
        }
        out.write(section.data(), static_cast<std::streamsize>(section.size()));
        if (!out) {
            throw ERegistryException("Cannot write the export of registry file '" +
                                     registry.FileName() + "'");
        }
        section.clear();
        registry.GetKeyNames(names);
        for (auto name = names.rbegin(); name != names.rend(); ++name) {
            std::string childPath = PathOf(path, *name);
            const std::size_t nameStart = childPath.size() - name->size();
            pending.push_back({std::move(childPath), nameStart});
        }
    }
    snapshot.Commit();
    registry.CloseKey();
}

std::string ExportRegText(TRegistry& registry, std::string_view key) {
    std::ostringstream out;
    ExportRegText(registry, key, out);
    return std::move(out).str();
}

namespace {

enum class TOpKind { OpenKey, DeleteKey, SetValue, DeleteValue };

struct TOperation {
    TOpKind Kind = TOpKind::OpenKey;
    int Line = 0;
    std::string Path; // keys
    std::string Name; // values
    TRegDataType Type = rdUnknown;
    std::string Data;
    std::int32_t Integer = 0;
};

class TRegParser {
public:
    TRegParser(std::string_view text, std::string_view source) : FText(text), FSource(source) {}

    std::vector<TOperation> Parse() {
        if (FText.starts_with("\xEF\xBB\xBF")) {
            FText.remove_prefix(3);
        }
        std::string_view line;
        const bool hasLine = NextLine(line);
        FLine = 1; // an empty text still fails on its first line
        if (!hasLine || Trim(line) != RegFileHeader) {
            Fail("expected the header line \"" + std::string(RegFileHeader) + "\"");
        }
        bool inKey = false;
        while (NextLine(line)) {
            line = Trim(line);
            if (line.empty() || line.front() == ';') {
                continue;
            }
            if (line.front() == '[') {
                inKey = ParseSection(line);
            } else if (!inKey) {
                Fail("a value outside a key section");
            } else {
                ParseValue(line);
            }
        }
        return std::move(FOperations);
    }

private:
    [[noreturn]] void Fail(const std::string& reason) const {
        throw ERegFileError(std::string(FSource) + ":" + std::to_string(FLine) + ": " + reason);
    }

    static std::string_view Trim(std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
            s.remove_prefix(1);
        }
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
            s.remove_suffix(1);
        }
        return s;
    }

    bool NextLine(std::string_view& line) {
        if (FPos >= FText.size()) {
            return false;
        }
        std::size_t end = FText.find('\n', FPos);
        if (end == std::string_view::npos) {
            end = FText.size();
        }
        line = FText.substr(FPos, end - FPos);
        FPos = end + 1;
        ++FLine;
        return true;
    }

    // True for a key to fill, false for a deleted one.
    bool ParseSection(std::string_view line) {
        if (line.size() < 2 || line.back() != ']') {
            Fail("a key line must end with ']'");
        }
        std::string_view inner = line.substr(1, line.size() - 2);
        TOperation op;
        op.Line = FLine;
        op.Kind = TOpKind::OpenKey;
        if (!inner.empty() && inner.front() == '-') {
            op.Kind = TOpKind::DeleteKey;
            inner.remove_prefix(1);
        }
        bool hasPart = false;
        for (const char c : inner) {
            if (IsControl(c)) {
                Fail("a key name with a control character");
            }
            hasPart = hasPart || c != '\\';
        }
        if (inner.empty() || (op.Kind == TOpKind::DeleteKey && !hasPart)) {
            Fail("an empty key path");
        }
        op.Path = hasPart ? std::string(inner) : "\\";
        if (op.Path.front() != '\\') {
            op.Path.insert(op.Path.begin(), '\\');
        }
        const bool filled = op.Kind == TOpKind::OpenKey;
        FOperations.push_back(std::move(op));
        return filled;
    }

    // Reads a quoted text at pos (just after the opening quote); pos ends after the closing one.
    std::string ReadQuoted(std::string_view line, std::size_t& pos, const char* what) {
        std::string text;
        while (pos < line.size()) {
            const char c = line[pos++];
            if (c == '"') {
                return text;
            }
            if (c == '\\') {
                if (pos >= line.size()) {
                    break;
                }
                const char next = line[pos++];
                if (next != '\\' && next != '"') {
                    Fail(std::string("unknown escape '\\") + next + "' in " + what);
                }
                text += next;
            } else {
                text += c;
            }
        }
        Fail(std::string("unterminated ") + what);
    }

    static int HexDigit(char c) noexcept {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    }

    std::string ParseHexBytes(std::string_view data) {
        // Long hex data goes on over several lines, each but the last ending in `\`.
        std::string joined;
        while (!data.empty() && data.back() == '\\') {
            joined += data.substr(0, data.size() - 1);
            std::string_view next;
            if (!NextLine(next)) {
                Fail("the hex data goes on past the end of the file");
            }
            data = Trim(next);
        }
        joined += data;
        std::string bytes;
        std::string_view rest = joined;
        if (Trim(rest).empty()) {
            return bytes;
        }
        while (true) {
            const std::size_t comma = rest.find(',');
            const std::string_view token =
                Trim(rest.substr(0, comma == std::string_view::npos ? rest.size() : comma));
            if (token.empty() || token.size() > 2 || HexDigit(token[0]) < 0 ||
                (token.size() == 2 && HexDigit(token[1]) < 0)) {
                Fail("invalid hex byte '" + std::string(token) + "'");
            }
            int value = HexDigit(token[0]);
            if (token.size() == 2) {
                value = value * 16 + HexDigit(token[1]);
            }
            bytes += static_cast<char>(value);
            if (comma == std::string_view::npos) {
                return bytes;
            }
            rest.remove_prefix(comma + 1);
        }
    }

    void ParseValue(std::string_view line) {
        TOperation op;
        op.Line = FLine;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (line.front() == '"') {
            pos = 1;
            op.Name = ReadQuoted(line, pos, "value name");
        } else {
            Fail("expected a key line '[...]' or a value line '\"Name\"=...'");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) {
            ++pos;
        }
        if (pos >= line.size() || line[pos] != '=') {
            Fail("expected '=' after the value name");
        }
        const std::string_view data = Trim(line.substr(pos + 1));
        if (data == "-") {
            op.Kind = TOpKind::DeleteValue;
        } else if (data.starts_with('"')) {
            op.Kind = TOpKind::SetValue;
            op.Type = rdString;
            std::size_t at = 1;
            op.Data = ReadQuoted(data, at, "string");
            if (at != data.size()) {
                Fail("unexpected text after the string");
            }
        } else if (data.starts_with("dword:")) {
            const std::string_view digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) {
                Fail("a dword needs 1 to 8 hex digits");
            }
            std::uint32_t value = 0;
            for (const char c : digits) {
                const int digit = HexDigit(c);
                if (digit < 0) {
                    Fail("invalid dword '" + std::string(digits) + "'");
                }
                value = value * 16 + static_cast<std::uint32_t>(digit);
            }
            op.Kind = TOpKind::SetValue;
            op.Type = rdInteger;
            op.Integer = static_cast<std::int32_t>(value);
        } else if (data.starts_with("hex:")) {
            op.Kind = TOpKind::SetValue;
            op.Type = rdBinary;
            op.Data = ParseHexBytes(data.substr(4));
        } else if (data.starts_with("hex(1):")) {
            op.Kind = TOpKind::SetValue;
            op.Type = rdString;
            op.Data = ParseHexBytes(data.substr(7));
        } else if (data.starts_with("hex(")) {
            Fail("unsupported value type '" + std::string(data.substr(0, data.find(':'))) + "'");
        } else {
            Fail("expected a value: \"text\", dword:, hex: or -");
        }
        FOperations.push_back(std::move(op));
    }

    std::string_view FText;
    std::string_view FSource;
    std::size_t FPos = 0;
    int FLine = 0;
    std::vector<TOperation> FOperations;
};

} // namespace

void CheckRegText(std::string_view text, std::string_view sourceName) {
    TRegParser(text, sourceName).Parse();
}

TRegImportCount ImportRegText(TRegistry& registry, std::string_view text,
                              std::string_view sourceName) {
    const std::vector<TOperation> operations = TRegParser(text, sourceName).Parse();
    TRegImportCount count;
    TRegistryTransaction transaction(registry);
    for (const auto& op : operations) {
        try {
            switch (op.Kind) {
            case TOpKind::OpenKey:
                if (!registry.OpenKey(op.Path, true)) {
                    throw ERegistryException("cannot create key '" + op.Path + "'");
                }
                ++count.Keys;
                break;
            case TOpKind::DeleteKey:
                registry.DeleteKey(op.Path);
                break;
            case TOpKind::DeleteValue:
                registry.DeleteValue(op.Name);
                break;
            case TOpKind::SetValue:
                if (op.Type == rdInteger) {
                    registry.WriteInteger(op.Name, op.Integer);
                } else if (op.Type == rdString) {
                    registry.WriteString(op.Name, op.Data);
                } else {
                    registry.WriteBinaryData(op.Name, op.Data.data(), op.Data.size());
                }
                ++count.Values;
                break;
            }
        } catch (const ERegistryException& e) {
            throw ERegFileError(std::string(sourceName) + ":" + std::to_string(op.Line) + ": " +
                                e.Message());
        }
    }
    transaction.Commit();
    registry.CloseKey();
    return count;
}

} // namespace host
