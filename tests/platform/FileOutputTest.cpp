// FileOutput over FileTarget: a regular file is replaced only by a complete new one, through a
// temporary file beside it; failures leave the old file and no temporary file behind.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/FileSizeLimit.h"
#include "support/Shell.h"
#include "varnel/platform/FileOutput.h"

using namespace Quorvex::VarnelNet;
namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Spit(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The names in the folder, sorted.
std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class FileOutputTest : public testing::Test {
protected:
    fs::path Path(const std::string& name) const { return m_dir.path() / name; }
    varnel_test::ScratchDir m_dir;
};

TEST_F(FileOutputTest, TheOldFileStaysUntilCloseReplacesIt) {
    Spit(Path("a.wav"), "old");
    FileOutput file;
    ASSERT_TRUE(file.Create(Path("a.wav").string()));
    ASSERT_TRUE(file.Append("new bytes", 9));
    ASSERT_TRUE(file.Patch(0, "N", 1));
    // The bytes go to a hidden temporary file in the same folder.
    const std::vector<std::string> during = Names(m_dir.path());
    ASSERT_EQ(during.size(), 2u);
    EXPECT_EQ(during[0].rfind(".a.wav.", 0), 0u) << during[0];
    EXPECT_EQ(during[0].size(), std::string(".a.wav.XXXXXX").size());
    EXPECT_EQ(Slurp(Path("a.wav")), "old");
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(Slurp(Path("a.wav")), "New bytes");
    EXPECT_EQ(Names(m_dir.path()), std::vector<std::string>{"a.wav"});
    EXPECT_EQ(file.Reason(), "");
}

// Every way of giving up leaves the folder as it was: the old file, or no file at a new name.
TEST_F(FileOutputTest, AFailedOrDroppedFileLeavesTheFolderAsItWas) {
    struct Case {
        const char* what;
        bool oldFile;
        bool overLimit;  // a write fails (EFBIG) instead of a Discard
        const char* reason;
    };
    const Case cases[] = {{"dropped, old file", true, false, ""},
                          {"dropped, new name", false, false, ""},
                          {"write fails, old file", true, true, "File too large"},
                          {"write fails, new name", false, true, "File too large"}};
    const std::string block(100000, 'x');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.oldFile) Spit(Path("b.wav"), "old");
        {
            FileOutput file;
            ASSERT_TRUE(file.Create(Path("b.wav").string()));
            if (c.overLimit) {
                const varnel_test::FileSizeLimit limit(50000);
                file.Append(block.data(), block.size());
                EXPECT_FALSE(file.Close());
            } else {
                file.Append(block.data(), block.size());
                file.Discard();
            }
            EXPECT_EQ(file.Reason(), c.reason);
        }
        EXPECT_EQ(Names(m_dir.path()), c.oldFile ? std::vector<std::string>{"b.wav"} : std::vector<std::string>{});
        if (c.oldFile) {
            EXPECT_EQ(Slurp(Path("b.wav")), "old");
        }
        fs::remove(Path("b.wav"));
    }
}

TEST_F(FileOutputTest, TheNewFileTakesTheOldModeOrThatOfANewFile) {
    const mode_t mask = ::umask(022);
    for (const auto& [old, expected] : {std::pair{-1, 0644}, std::pair{0600, 0600}, std::pair{0640, 0640}}) {
        SCOPED_TRACE(old);
        fs::remove(Path("m.wav"));
        if (old >= 0) {
            Spit(Path("m.wav"), "old");
            ::chmod(Path("m.wav").c_str(), static_cast<mode_t>(old));
        }
        FileOutput file;
        ASSERT_TRUE(file.Create(Path("m.wav").string()));
        ASSERT_TRUE(file.Close());
        struct stat info {};
        ASSERT_EQ(::stat(Path("m.wav").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, static_cast<mode_t>(expected));
    }
    ::umask(mask);
}

// A link stays a link; what it points to is replaced (or created, for a dangling link).
TEST_F(FileOutputTest, ALinkKeepsPointingAtTheReplacedFile) {
    fs::create_directory(Path("real"));
    Spit(Path("real/t.wav"), "old");
    fs::create_symlink("real/t.wav", Path("link.wav"));
    fs::create_symlink("real/new.wav", Path("dangling.wav"));
    for (const char* link : {"link.wav", "dangling.wav"}) {
        SCOPED_TRACE(link);
        FileOutput file;
        ASSERT_TRUE(file.Create(Path(link).string()));
        ASSERT_TRUE(file.Append("new", 3));
        ASSERT_TRUE(file.Close());
        EXPECT_TRUE(fs::is_symlink(Path(link)));
        EXPECT_EQ(Slurp(Path(link)), "new");
    }
    EXPECT_EQ(Names(Path("real")), (std::vector<std::string>{"new.wav", "t.wav"}));
    EXPECT_EQ(Slurp(Path("real/t.wav")), "new");
}

TEST_F(FileOutputTest, ASecondWriterIsRefusedWithItsReason) {
    for (const bool oldFile : {false, true}) {
        if (oldFile) Spit(Path("busy.wav"), "old");
        FileOutput first;
        ASSERT_TRUE(first.Create(Path("busy.wav").string()));
        FileOutput second;
        EXPECT_FALSE(second.Create(Path("busy.wav").string()));
        EXPECT_EQ(second.Reason(), "The file is in use by another writer");
        EXPECT_FALSE(second.Close());
        ASSERT_TRUE(first.Append("first", 5));
        ASSERT_TRUE(first.Close());
        EXPECT_EQ(Slurp(Path("busy.wav")), "first");
        EXPECT_EQ(Names(m_dir.path()), std::vector<std::string>{"busy.wav"});
    }
}

TEST_F(FileOutputTest, DevicesAreWrittenAsTheyAre) {
    FileOutput null;
    ASSERT_TRUE(null.Create("/dev/null"));
    ASSERT_TRUE(null.Append("abc", 3));
    EXPECT_TRUE(null.Close());
    EXPECT_TRUE(fs::is_character_file("/dev/null"));

    FileOutput full;
    ASSERT_TRUE(full.Create("/dev/full"));
    full.Append("abc", 3);
    EXPECT_FALSE(full.Close());
    EXPECT_EQ(full.Reason(), "No space left on device");
}

}  // namespace
