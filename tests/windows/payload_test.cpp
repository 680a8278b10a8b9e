// Getting the embedded files onto disk, against real files in a scratch folder.
#include "wrentide_setup/engine/payload.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <zlib.h>

#include <set>
#include <string>

#include "test_support.h"
#include "wrentide_setup/error.h"

namespace wt {
namespace {

class Payload : public ::testing::Test {
protected:
    std::string In(const char* name) const { return folder_.Path() + name; }
    std::string Temp() const { return folder_.Path() + kTempPak; }
    // One payload step's extraction: resource -> temp.pak -> destination.
    void Extract(const char* resource, const std::string& target) {
        ExtractResource(resource, Temp());
        InflateFile(Temp(), target);
    }
    test::ScratchFolder folder_;
};

TEST_F(Payload, TheTableNamesEveryResourceOnceWithRisingMilestones) {
    std::set<std::string> resources;
    int last = 0;
    for (const PayloadFile& file : PayloadTable) {
        resources.insert(file.resource);
        EXPECT_GT(file.milestone, last);
        last = file.milestone;
        EXPECT_EQ(file.fileName[0], '\\');
    }
    EXPECT_EQ(resources, (std::set<std::string>{"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(last, 95);
}

TEST_F(Payload, EveryFileIsExtractedByteForByteAndNoTempFileRemains) {
    InstallPaths paths;
    paths.ProgPth = In("\\Program Folder");
    paths.DBPth = In("\\data");
    CreateDirectoryA(paths.ProgPth.c_str(), nullptr);
    CreateDirectoryA(paths.DBPth.c_str(), nullptr);
    for (const PayloadFile& file : PayloadTable) {
        SCOPED_TRACE(file.fileName);
        const std::string target = Destination(file, paths);
        const std::string temp = paths.DBPth + kTempPak;
        ExtractResource(file.resource, temp);
        ASSERT_TRUE(test::PathExists(temp));
        const std::string packed = test::ReadFileBytes(temp);
        ASSERT_GE(packed.size(), 2u);
        EXPECT_EQ(packed.substr(0, 2), "\x78\xDA");
        InflateFile(temp, target);
        EXPECT_FALSE(test::PathExists(temp));
        EXPECT_EQ(test::ReadFileBytes(target), test::ReadFileBytes(test::BuiltPayloadFile(file.fileName + 1)));
    }
}

TEST_F(Payload, AnUnlockedOldCopyIsRemovedAndReplaced) {
    const std::string target = In("\\ReadMe.txt");
    test::WriteFileBytes(target, std::string(100000, 'o'));
    RemoveOldFile(target);
    EXPECT_FALSE(test::PathExists(target));
    test::WriteFileBytes(target, "old");
    Extract("e", target);
    EXPECT_EQ(test::ReadFileBytes(target), test::ReadFileBytes(test::BuiltPayloadFile("ReadMe.txt")));
}

TEST_F(Payload, ALockedDestinationSurvivesAndMakesTheInflateFail) {
    const std::string target = In("\\WrenTide.exe");
    test::WriteFileBytes(target, "running");
    HANDLE running = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(running, INVALID_HANDLE_VALUE);
    RemoveOldFile(target);
    EXPECT_TRUE(test::PathExists(target));
    ExtractResource("b", Temp());
    EXPECT_THROW(InflateFile(Temp(), target), Error);
    CloseHandle(running);
    EXPECT_EQ(test::ReadFileBytes(target), "running");
    // The source stays for the caller's clean-up, and no handle is left on either file.
    EXPECT_TRUE(test::PathExists(Temp()));
    EXPECT_EQ(ExclusiveOpenError(Temp()), 0u);
    EXPECT_EQ(ExclusiveOpenError(target), 0u);
}

// A missing resource, or a file that cannot be written, fails the extraction
// with its cause; nothing is inflated from it.
TEST_F(Payload, AnExtractionThatCannotWriteRaisesItsCause) {
    auto cause = [](const char* resource, const std::string& path) {
        return test::ErrorText([&] { ExtractResource(resource, path); });
    };
    EXPECT_EQ(cause("h", Temp()), "The resource \"h\" is missing from setup.");
    EXPECT_FALSE(test::PathExists(Temp()));
    EXPECT_THROW(InflateFile(Temp(), In("\\out")), Error);
    EXPECT_FALSE(test::PathExists(In("\\out")));
    EXPECT_NE(cause("a", In("\\no such folder\\temp.pak")).find("Cannot create file"), std::string::npos);
    HANDLE held = CreateFileA(Temp().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_NE(cause("a", Temp()), "");
    CloseHandle(held);
    EXPECT_EQ(cause("a", Temp()), "");
}

TEST_F(Payload, BadStreamsFailAndNeverPassAsInstalled) {
    ExtractResource("c", Temp());
    const std::string good = test::ReadFileBytes(Temp());
    const std::string full = test::ReadFileBytes(test::BuiltPayloadFile("wscb.rez"));
    std::string corrupt = good;
    corrupt[good.size() / 2] ^= 0x55;
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"cut short, as by a copy that ran out of disk", good.substr(0, good.size() / 2)},
        {"cut inside its checksum", good.substr(0, good.size() - 2)},
        {"followed by other data", good + "trailing"},
        {"damaged", corrupt},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::WriteFileBytes(Temp(), c.bytes);
        const std::string target = In("\\wscb.rez");
        EXPECT_THROW(InflateFile(Temp(), target), Error);
        EXPECT_TRUE(test::PathExists(Temp()));
        EXPECT_EQ(ExclusiveOpenError(Temp()), 0u);
        if (test::PathExists(target)) {
            EXPECT_EQ(ExclusiveOpenError(target), 0u);
            EXPECT_NE(test::ReadFileBytes(target), full);
        }
    }
}

TEST_F(Payload, AStreamEndingOnABufferBoundaryIsWrittenWhole) {
    for (size_t size : {size_t(1024), size_t(3072)}) {
        SCOPED_TRACE(size);
        std::string plain(size, '\0');
        for (size_t i = 0; i < size; ++i) plain[i] = static_cast<char>(i * 7 + i / 13);
        uLongf packedSize = compressBound(static_cast<uLong>(size));
        std::string packed(packedSize, '\0');
        ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                            reinterpret_cast<const Bytef*>(plain.data()), static_cast<uLong>(size), 9),
                  Z_OK);
        packed.resize(packedSize);
        test::WriteFileBytes(Temp(), packed);
        InflateFile(Temp(), In("\\exact"));
        EXPECT_EQ(test::ReadFileBytes(In("\\exact")), plain);
    }
}

}  // namespace
}  // namespace wt
