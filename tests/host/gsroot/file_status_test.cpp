// IO::File connects when it is made and records the outcome, as the kit's File.hpp describes: GetStatus
// tells whether a file is there. Open of a file that never connected answers something other than
// FileNotFound (the kit leaves it undocumented; the stand-in takes the strictest reading).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "File.hpp"
#include "Location.hpp"

namespace {

class FileStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kavelo-file-status-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    IO::Location At(const char* name) const { return IO::Location((folder_ / name).u8string().c_str()); }

    std::filesystem::path folder_;
};

}  // namespace

TEST_F(FileStatusTest, AMissingFileIsNotFoundAtConnectionAndOpenDoesNotSaySo) {
    IO::File file(At("missing.dat"), IO::File::Fail);
    EXPECT_EQ(file.GetStatus(), IO::File::FileNotFound);
    const GSErrCode opened = file.Open(IO::File::ReadMode);
    EXPECT_NE(opened, NoError);
    EXPECT_NE(opened, IO::File::FileNotFound);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(folder_ / "missing.dat")) << "Fail creates nothing";
}

TEST_F(FileStatusTest, AFileConnectsAndOpens) {
    std::ofstream(folder_ / "there.dat", std::ios::binary) << "abc";
    IO::File file(At("there.dat"), IO::File::Fail);
    EXPECT_EQ(file.GetStatus(), NoError);
    ASSERT_EQ(file.Open(IO::File::ReadMode), NoError);
    UInt32 length = 0;
    EXPECT_EQ(file.GetDataLength(&length), NoError);
    EXPECT_EQ(length, 3u);
}

TEST_F(FileStatusTest, CreateMakesAnEmptyFileWhenItConnects) {
    IO::File file(At("new.dat"), IO::File::Create);
    EXPECT_EQ(file.GetStatus(), NoError);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder_ / "new.dat"));
    EXPECT_EQ(std::filesystem::file_size(folder_ / "new.dat"), 0u);
    ASSERT_EQ(file.Open(IO::File::WriteEmptyMode), NoError);
    EXPECT_EQ(file.WriteBin("xy", 2), NoError);
    EXPECT_EQ(file.Close(), NoError);
    EXPECT_EQ(std::filesystem::file_size(folder_ / "new.dat"), 2u);
}

TEST_F(FileStatusTest, AFolderOrNoPlaceIsNoFile) {
    std::filesystem::create_directory(folder_ / "sub");
    IO::File folder(At("sub"), IO::File::Fail);
    EXPECT_EQ(folder.GetStatus(), IO::File::NotAFile);
    EXPECT_NE(folder.Open(IO::File::ReadMode), NoError);
    IO::File nowhere{IO::Location()};
    EXPECT_EQ(nowhere.GetStatus(), IO::BadLocation);
    IO::File inMissingFolder(At("no-such-folder/x.dat"), IO::File::Create);
    EXPECT_NE(inMissingFolder.GetStatus(), NoError);
}
