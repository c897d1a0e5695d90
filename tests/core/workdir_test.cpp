// Choosing, creating and removing the per-run working directory under a test root.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/constants.h"
#include "core/program_state.h"
#include "program/startup.h"
#include "program/workdir.h"
#include "tests/support/temp_dir.h"

extern const unsigned char helperImage[];
extern const std::size_t helperImageSize;

namespace {

class WorkDirTest : public ::testing::Test {
protected:
    TempDir root;
    std::string Root() const { return root.path() + "/"; }
};

TEST_F(WorkDirTest, FirstFreeNameIsTaken) {
    EXPECT_EQ(CreateWorkDir(Root()), Root() + "lmr/");
    EXPECT_EQ(CreateWorkDir(Root()), Root() + "lmr1/");
    EXPECT_EQ(CreateWorkDir(Root()), Root() + "lmr2/");
    struct stat info;
    ASSERT_EQ(stat((Root() + "lmr2").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST_F(WorkDirTest, NameTakenByAFileIsPassedOver) {
    // Free by the directory test, but not ours to fill: the next name is taken instead.
    WriteFileText(Root() + "lmr", "");
    EXPECT_EQ(CreateWorkDir(Root()), Root() + "lmr1/");
}

TEST_F(WorkDirTest, ChoiceCountsFromTheGivenNumber) {
    mkdir((Root() + "lmr").c_str(), 0700);
    mkdir((Root() + "lmr1").c_str(), 0700);
    int counter = 0;
    EXPECT_EQ(ChooseWorkDirName(Root(), counter), Root() + "lmr2");
    EXPECT_EQ(ChooseWorkDirName(Root(), counter), Root() + "lmr3");
}

TEST_F(WorkDirTest, CleanUpRemovesFilesButNotSubdirectories) {
    programState.workDir = CreateWorkDir(Root());
    programState.jpegPath = programState.workDir + jpegFileName;
    WriteFileText(programState.jpegPath, "jpeg");
    WriteFileText(programState.workDir + "ip.txt", "1.2.3.4");
    ASSERT_TRUE(InstallHelper((programState.workDir + helperFileName).c_str()));
    CleanUpWorkDir();
    EXPECT_FALSE(PathExists(Root() + "lmr"));

    programState.workDir = CreateWorkDir(Root());
    mkdir((programState.workDir + "keep").c_str(), 0700);
    WriteFileText(programState.workDir + "ip.txt", "x");
    CleanUpWorkDir();
    EXPECT_TRUE(PathExists(programState.workDir + "keep"));
    EXPECT_FALSE(PathExists(programState.workDir + "ip.txt"));
}

TEST_F(WorkDirTest, HelperIsWrittenWholeWithExecuteBitsAdded) {
    std::string path = root.File("capture");
    for (mode_t mask : {mode_t(022), mode_t(077)}) {
        mode_t old = umask(mask);
        unlink(path.c_str());
        bool installed = InstallHelper(path.c_str());
        umask(old);
        ASSERT_TRUE(installed);
        struct stat info;
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, ((0666 & ~mask) | 0173) & 07777) << std::oct << mask;
        EXPECT_EQ(ReadFileText(path), std::string(reinterpret_cast<const char*>(helperImage),
                                                  helperImageSize));
    }
}

}  // namespace
