#include "wrentide_setup/engine/journal.h"

namespace wt {
namespace {

// A record: its kind, the value's presence, its type (4 bytes, little end
// first), then five texts, each its length (4 bytes) and its bytes.
void PutNumber(std::string& out, unsigned long number) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((number >> (8 * i)) & 0xFF);
}

bool TakeNumber(const std::string& in, size_t& at, unsigned long& number) {
    if (in.size() - at < 4) return false;
    number = 0;
    for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(in[at + i]);
    at += 4;
    return true;
}

bool TakeText(const std::string& in, size_t& at, std::string& text) {
    unsigned long length = 0;
    if (!TakeNumber(in, at, length) || in.size() - at < length) return false;
    text = in.substr(at, length);
    at += length;
    return true;
}

}  // namespace

std::string EncodeEntry(const JournalEntry& entry) {
    std::string out;
    out += static_cast<char>(entry.change);
    out += static_cast<char>(entry.present ? 1 : 0);
    PutNumber(out, entry.type);
    for (const std::string* text : {&entry.path, &entry.folder, &entry.root, &entry.name, &entry.bytes}) {
        PutNumber(out, static_cast<unsigned long>(text->size()));
        out += *text;
    }
    return out;
}

bool DecodeEntry(const std::string& record, JournalEntry& entry) {
    if (record.size() < 2) return false;
    const unsigned char kind = static_cast<unsigned char>(record[0]), present = static_cast<unsigned char>(record[1]);
    if (kind < static_cast<unsigned char>(Change::MadeFolder) || kind > static_cast<unsigned char>(Change::MadeLink) ||
        present > 1)
        return false;
    JournalEntry read;
    read.change = static_cast<Change>(kind);
    read.present = present == 1;
    size_t at = 2;
    if (!TakeNumber(record, at, read.type)) return false;
    for (std::string* text : {&read.path, &read.folder, &read.root, &read.name, &read.bytes})
        if (!TakeText(record, at, *text)) return false;
    if (at != record.size()) return false;
    entry = read;
    return true;
}

}  // namespace wt
