// The page from a template (placeholders, copying, the plain page) and
// publications that meet a full disk, a read-only folder or a ZIP the
// archiver cannot finish.

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "base/paths.h"
#include "core/resource_folder.h"
#include "publication.h"
#include "publish/page_template.h"
#include "publish/publisher.h"
#include "support/recording_prompts.h"
#include "zip_reader.h"
#include "ziparchive/zip_writer.h"

namespace tavlin {
namespace {

using namespace test;
namespace fs = std::filesystem;

class PageTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* src = std::getenv("TAVLIN_TEST_SRC");
        ASSERT_NE(src, nullptr);
        fs::create_directory(dir.file("res"));
        fs::copy_file(joinPath(src, "res/res.txt"), dir.file("res/res.txt"));
        resources().Open(dir.file("res"));
        doc.setFileName("/work/tour.tvl");
    }
    void TearDown() override { resources().Open(""); }
    ScratchDir dir;
    Document doc{320, 240};
};

TEST_F(PageTest, PlaceholdersAreFilledAsWritten) {
    TemplateExpander e(doc, false, PageDate{2003, 7, 4});
    int32_t stray = -1;
    EXPECT_EQ(e.expandText("Price: $$5 $title$ $width$x$height$ $year$/$month$/$day$ [$message$] $Applet$", &stray),
              "Price: $5 tour 320x240 2003/7/4 [] $Applet$");
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(e.expandText("a\nb\nsee $note", &stray), "a\nb\nsee ");
    EXPECT_EQ(stray, 3) << "the line of the stray dollar";
    EXPECT_EQ(e.expandText("$applet$"), appletBlock(320, 240, false));
    EXPECT_NE(appletBlock(320, 240, false).find("archive=\"tavlin.jar\">"), std::string::npos);
    EXPECT_EQ(pageTitle("C:\\work\\tour.tvl"), "tour");
    EXPECT_EQ(pageTitle("/a.b/c.d.tvl"), "c.d");
    EXPECT_EQ(pageTitle("Untitled"), "Untitled");
    EXPECT_EQ(toPageLineEnds("a\r\nb\nc\r"), "a\r\nb\r\nc\r");
}

TEST_F(PageTest, ATemplateFolderIsCopiedWithItsPagesExpanded) {
    std::string tpl = dir.file("tpl"), site = dir.file("site");
    fs::create_directories(tpl + "/img");
    fs::create_directories(tpl + "/.svn");
    fs::create_directory(site);
    dir.write("tpl/index.html", "<title>$title$</title>\r\n$applet$\nPrice: $$5\n");
    dir.write("tpl/other.HTML", "$title$");
    dir.write("tpl/old.htm", "$title$");
    dir.write("tpl/style.css", "body{}\n");
    dir.write("tpl/img/logo.gif", std::string("GIF89a\0\n", 8));
    dir.write("tpl/.svn/entries", "x");
    dir.write("tpl/index.html~", "backup");
    dir.write("site/data.jar", "jar");
    RecordingPrompts prompts;
    PublishHost host;
    Publisher p(site, doc, host);
    ASSERT_TRUE(pageStep(p, tpl));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(readAll(site + "/index.html"),
              "<title>tour</title>\r\n" + toPageLineEnds(appletBlock(320, 240, true)) + "\r\nPrice: $5\r\n");
    EXPECT_EQ(readAll(site + "/other.HTML"), "$title$");
    EXPECT_EQ(readAll(site + "/old.htm"), "$title$");
    EXPECT_EQ(readAll(site + "/img/logo.gif"), std::string("GIF89a\0\n", 8));
    EXPECT_TRUE(fs::exists(site + "/style.css"));
    EXPECT_FALSE(fs::exists(site + "/.svn"));
    EXPECT_FALSE(fs::exists(site + "/index.html~"));

    // A stray "$" is reported with its file and line; the page is written.
    dir.write("tpl/index.html", "ok\nsee $note");
    ASSERT_TRUE(pageStep(p, tpl));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.messages[0].find("index.html:2"), std::string::npos) << prompts.messages[0];
    EXPECT_EQ(readAll(site + "/index.html"), "ok\r\nsee ");

    // The output folder inside the template folder is not copied into itself.
    Publisher inner(tpl + "/img", doc, host);
    EXPECT_TRUE(pageStep(inner, tpl));
    EXPECT_FALSE(fs::exists(tpl + "/img/img"));
}

TEST_F(PageTest, AnUnusableTemplateGivesThePlainPage) {
    std::string site = dir.file("site");
    fs::create_directory(site);
    fs::create_directory(dir.file("empty"));
    RecordingPrompts prompts;
    PublishHost host;
    Publisher p(site, doc, host);
    for (std::string tpl : {dir.file("missing"), dir.file("empty"), std::string()}) {
        prompts.messages.clear();
        ASSERT_TRUE(pageStep(p, tpl));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0], resources().StringCopy("e_bad_template"));
        EXPECT_EQ(readAll(site + "/index.html"),
                  "<HTML><HEAD></HEAD><BODY>\r\n<!-- start TAVLIN --><APPLET width=320 height=240 "
                  "code=\"Tavlin.class\" archive=\"tavlin.jar\">\r\n<PARAM NAME=PRELOAD VALUE=TRUE>\r\n"
                  "<!-- <PARAM NAME=DIR VALUE=\".\"> -->\r\n<PARAM NAME=BGCOLOR VALUE=\"FFFFFF\">\r\n"
                  "<PARAM NAME=MESSAGE VALUE=\"TAVLIN Loading\">\r\n</APPLET><!-- end TAVLIN -->\r\n"
                  "</BODY></HTML>\r\n");
    }
    // The folder ZIP refuses a folder directly under the root.
    Publisher top("/site-under-root", doc, host);
    EXPECT_FALSE(folderZip(top));
    EXPECT_EQ(prompts.messages.back(), resources().StringCopy("e_bad_zipdir"));
}

// Runs a publication in a child process whose files may not grow beyond
// `limit` bytes, as on a disk that fills up; the reason comes back through
// a pipe. Returns the child's exit status (0 when the run succeeded).
int publishWithFileLimit(const std::string& folder, Document& doc, uint32_t steps, rlim_t limit,
                         std::string* reason) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        PublishHost host;
        Publisher p(folder, doc, host);
        StepResult r = p.run(steps, 0, "");
        ssize_t ignored = ::write(fds[1], r.reason.data(), r.reason.size());
        (void)ignored;
        ::_exit(r ? 0 : 1);
    }
    ::close(fds[1]);
    char buf[1024];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) reason->append(buf, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(PageTest, AFullDiskStopsTheRunAndLeavesNoTruncatedFile) {
    registerMedia();
    std::string site = dir.file("site");
    fs::create_directory(site);
    // A picture of noise stays large as a GIF.
    Image noise(200, 200);
    uint32_t seed = 1;
    for (auto& px : noise.pixels) px = 0xFF000000 | (seed = seed * 1103515245 + 12345) >> 8;
    std::string png = dir.file("noise.png");
    ASSERT_TRUE(PngFormat().write(png, noise));
    std::string pngBytes = readAll(png);
    std::string beep = writeSound(dir, "beep.au", 20000);
    for (auto& px : noise.pixels) px = 0xFF000000 | (seed = seed * 1103515245 + 12345) >> 8;
    std::string png2 = dir.file("noise2.png");
    ASSERT_TRUE(PngFormat().write(png2, noise));
    auto* picture = loaded<ImageResource>(doc, MediaKind::Image, png);
    auto* picture2 = loaded<ImageResource>(doc, MediaKind::Image, png2);
    append<ImageObject>(doc, "noise2", 0, 0, 200, 200, {{0, 0}})->picture = picture2;
    auto* sound = loaded<SoundResource>(doc, MediaKind::Sound, beep);
    append<ImageObject>(doc, "noise", 0, 0, 200, 200, {{0, 0}})->picture = picture;
    addEvent<SoundEvent>(doc, kSoundEvent, 0, 0, 0)->sound = sound;
    doc.recomputeFrameCodes();

    // The GIF cannot be written whole.
    std::string reason;
    EXPECT_EQ(publishWithFileLimit(site, doc, kStepPictures | kStepContent, 4096, &reason), 1);
    EXPECT_NE(reason.find("i0.gif"), std::string::npos) << reason;
    EXPECT_FALSE(fs::exists(site + "/i0.gif")) << "no half picture";
    EXPECT_FALSE(fs::exists(site + "/tavlin.txt")) << "later steps do not run";

    // The files fit but the archive does not: no data.jar, no temporary file.
    reason.clear();
    std::string probe = dir.file("probe");
    fs::create_directory(probe);
    PublishHost plain;
    Publisher sizes(probe, doc, plain);
    ASSERT_TRUE(sizes.run(kStepPictures | kStepSounds, 0, ""));
    // Two pictures of noise hardly deflate: together they outgrow the limit.
    rlim_t largest = std::max(fs::file_size(probe + "/i0.gif"), fs::file_size(probe + "/i1.gif"));
    EXPECT_EQ(publishWithFileLimit(site, doc, kStepPictures | kStepSounds | kStepContent | kStepDataArchive,
                                   largest + 512, &reason),
              1);
    EXPECT_NE(reason.find("data.jar"), std::string::npos) << reason;
    EXPECT_FALSE(fs::exists(site + "/data.jar"));
    for (auto& e : fs::directory_iterator(site)) EXPECT_EQ(e.path().string().find('~'), std::string::npos) << e.path();
    EXPECT_EQ(readAll(png), pngBytes) << "the project's media are untouched";
}

TEST_F(PageTest, AReadOnlyFolderFailsTheFirstStepWithItsName) {
    std::string site = dir.file("site");
    fs::create_directory(site);
    bool mounted = false;
    if (::geteuid() == 0) {
        // Root writes through permissions: a read-only file system it is.
        mounted = ::mount("tmpfs", site.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
        if (!mounted) GTEST_SKIP() << "cannot mount a read-only tmpfs here";
    } else {
        ::chmod(site.c_str(), 0555);
    }
    PublishHost host;
    Publisher p(site, doc, host);
    StepResult r = p.run(kStepContent | kStepPage, 0, "");
    EXPECT_FALSE(r);
    EXPECT_NE(r.reason.find(site + "/tavlin.txt"), std::string::npos) << r.reason;
    if (mounted) ::umount(site.c_str());
    ::chmod(site.c_str(), 0755);
}

TEST(ZipWriter, FailuresLeaveTheOldArchiveAndNothingHalfWritten) {
    ScratchDir dir;
    std::string zip = dir.file("a.zip");
    ASSERT_TRUE(writeZipArchive(zip, {{"one.txt", {}, "first"}}));
    std::string old = readAll(zip);

    ZipResult r = writeZipArchive(zip, {{"x.txt", dir.file("missing.txt"), {}}});
    EXPECT_FALSE(r);
    EXPECT_NE(r.reason.find("missing.txt"), std::string::npos) << r.reason;
    EXPECT_EQ(readAll(zip), old);
    EXPECT_FALSE(writeZipArchive(zip, {}));
    EXPECT_FALSE(fs::exists(zipTemporaryPath(zip)));

    // Names given twice are packed once; folders come as entries.
    std::string big(300000, 'a');
    dir.write("big.txt", big);
    ASSERT_TRUE(writeZipArchive(zip, {{"d/", {}, {}}, {"d/big.txt", dir.file("big.txt"), {}}, {"d/big.txt", {}, "x"}}));
    if (!haveUnzip()) return;
    EXPECT_EQ(zipNames(zip), (std::vector<std::string>{"d/", "d/big.txt"}));
    EXPECT_EQ(zipEntry(zip, "d/big.txt"), big);
    EXPECT_LT(fs::file_size(zip), 5000u) << "deflated";
}

}  // namespace
}  // namespace tavlin
