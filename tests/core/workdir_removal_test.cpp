// The working directory's removal, shared by the normal end and the fatal path: it reaches every
// file however many the directory holds, one that comes while a killed helper ends too, and never
// follows a link out of it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "program/workdir_removal.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(RemoveWorkDirFiles, FilesBeyondOneDirectoryReadAreRemovedWithTheDirectory) {
    TempDir root;
    std::string dir = root.File("lmr");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    // Long names fill several 4 KiB reads of the directory.
    for (int i = 0; i < 300; ++i) WriteFileText(dir + "/frame-with-a-rather-long-name-" + std::to_string(i), "x");
    WriteFileText(dir + "/webcam.jpg", "jpeg");
    std::string jpeg = dir + "/webcam.jpg", helper = dir + "/capture";
    RemoveWorkDirFiles(jpeg.c_str(), helper.c_str(), dir.c_str());
    EXPECT_FALSE(PathExists(dir));
}

TEST(RemoveWorkDirFiles, AFileThatComesAfterTheFilesWereReadGoesToo) {
    TempDir root;
    std::string dir = root.File("lmr");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    // A killed helper's last file: the directory is held until it comes, 30 ms after the first read.
    ASSERT_EQ(mkdir((dir + "/held").c_str(), 0700), 0);
    std::thread helper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        WriteFileText(dir + "/webcam.new.jpg", "frame");
        rmdir((dir + "/held").c_str());
    });
    RemoveWorkDirFiles((dir + "/webcam.jpg").c_str(), (dir + "/capture").c_str(), dir.c_str());
    helper.join();
    EXPECT_FALSE(PathExists(dir));
}

TEST(RemoveWorkDirFiles, ALinkIsNeitherFollowedNorRemovedAndKeepsTheDirectory) {
    TempDir root;
    std::string outside = root.File("precious");
    WriteFileText(outside, "keep");
    std::string dir = root.File("lmr");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    ASSERT_EQ(symlink(outside.c_str(), (dir + "/link").c_str()), 0);
    WriteFileText(dir + "/frame", "x");
    RemoveWorkDirFiles((dir + "/webcam.jpg").c_str(), (dir + "/capture").c_str(), dir.c_str());
    EXPECT_FALSE(PathExists(dir + "/frame"));
    EXPECT_TRUE(PathExists(dir + "/link"));
    EXPECT_EQ(ReadFileText(outside), "keep");

    // A working directory replaced by a link to another directory is not emptied.
    std::string other = root.File("other");
    ASSERT_EQ(mkdir(other.c_str(), 0700), 0);
    WriteFileText(other + "/file", "keep");
    std::string linked = root.File("lmr1");
    ASSERT_EQ(symlink(other.c_str(), linked.c_str()), 0);
    RemoveWorkDirFiles((linked + "/webcam.jpg").c_str(), (linked + "/capture").c_str(), linked.c_str());
    EXPECT_EQ(ReadFileText(other + "/file"), "keep");
}

}  // namespace
