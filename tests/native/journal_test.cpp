#include <gtest/gtest.h>

#include "wrentide_setup/engine/journal.h"

namespace wt {
namespace {

// Every field comes back as written, bytes of any value included; anything
// cut short, lengthened or of an unknown kind is refused whole.
TEST(JournalRecord, RoundTripsAndRefusesWhatItDidNotWrite) {
    JournalEntry entry;
    entry.change = Change::SetValue;
    entry.path = "\\Software\\WrenTide";
    entry.folder = "\\\\?\\C:\\Program Files\\\xC5\x81\xC3\xB3" "d\xC5\xBA";
    entry.root = "localmachine";
    entry.name = "ProgPth";
    entry.present = true;
    entry.type = 0x01020304;
    entry.bytes = std::string("a\0\xff\r\n\tz", 7);
    const std::string record = EncodeEntry(entry);
    JournalEntry read;
    ASSERT_TRUE(DecodeEntry(record, read));
    EXPECT_EQ(EncodeEntry(read), record);
    EXPECT_EQ(read.change, Change::SetValue);
    EXPECT_EQ(read.folder, entry.folder);
    EXPECT_EQ(read.bytes, entry.bytes);
    EXPECT_EQ(read.type, 0x01020304u);
    EXPECT_TRUE(read.present);

    for (size_t cut = 0; cut < record.size(); ++cut)
        EXPECT_FALSE(DecodeEntry(record.substr(0, cut), read)) << "cut to " << cut;
    EXPECT_FALSE(DecodeEntry(record + "x", read));
    for (char kind : {'\0', '\x09'}) {
        std::string other = record;
        other[0] = kind;
        EXPECT_FALSE(DecodeEntry(other, read)) << int(kind);
    }
    std::string huge = record;
    huge[6] = '\xff', huge[7] = '\xff', huge[8] = '\xff', huge[9] = '\xff';  // the path's length
    EXPECT_FALSE(DecodeEntry(huge, read));
}

}  // namespace
}  // namespace wt
