// The publish window, the erase question and the album, built from the
// shipped descriptions and driven through their controls: a whole
// publication with scripted answers, a failing one, and the album's buttons.

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

#include "document/document.h"
#include "document/event.h"
#include "document/image_object.h"
#include "media/audio/au_format.h"
#include "media/image/image_formats.h"
#include "publish/album.h"
#include "studio/album_window.h"
#include "studio/erase_files_window.h"
#include "studio/publish_window.h"
#include "studio_fixture.h"
#include "ui/control.h"

namespace tavlin {
namespace {

namespace fs = std::filesystem;
using test::StudioTest;

class PublishWindowTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        registerAudioFormats();
        Image picture(8, 6);
        for (auto& p : picture.pixels) p = 0xFF30A050;
        png = scratch.file("green.png");
        ASSERT_TRUE(PngFormat().write(png, picture));
        doc = std::make_unique<Document>(64, 48);
        doc->setLength(10);
        doc->setFileName(scratch.file("walk.tvl"));
        auto* r = doc->loadResource(MediaKind::Image, png);
        ASSERT_NE(r, nullptr);
        auto o = std::make_unique<ImageObject>(*doc);
        o->picture = static_cast<ImageResource*>(r);
        o->width = 8;
        o->height = 6;
        o->ranges = {{0, 9}};
        doc->objects.push_back(std::move(o));
        doc->recomputeFrameCodes();
    }
    void TearDown() override {
        owner.reset();
        StudioTest::TearDown();
    }
    static CheckButton* box(Window& w, int32_t id) { return dynamic_cast<CheckButton*>(w.ControlById(id)); }
    static Edit* entry(Window& w, int32_t id) { return dynamic_cast<Edit*>(w.ControlById(id)); }
    static ComboBox* list(Window& w, int32_t id) { return dynamic_cast<ComboBox*>(w.ControlById(id)); }

    std::unique_ptr<Window> owner = std::make_unique<Window>(nullptr, 0, 0, 200, 200, kMainWindow);
    std::unique_ptr<Document> doc;
    std::string png;
};

TEST_F(PublishWindowTest, ControlsStartFromTheDocumentAndTheSettings) {
    doc->jpegQuality = 80;
    doc->diffQuality = 42;
    doc->publishDate = 40229;
    settings().Set("param_thumb", "1");
    settings().Set("last_web_dir", "/srv/www/walk");
    PublishWindow w(owner.get(), doc.get(), settings(), nullptr);
    ComboBox* jpeg = list(w, PublishWindow::kJpegQuality);
    ASSERT_NE(jpeg, nullptr);
    ASSERT_EQ(jpeg->Count(), 25);
    EXPECT_EQ(std::string(jpeg->GetString(0)), "0" + text("lowestq"));
    EXPECT_EQ(std::string(jpeg->GetString(15)), "75" + text("normalq"));
    EXPECT_EQ(std::string(jpeg->GetString(20)), "96");
    EXPECT_EQ(std::string(jpeg->GetString(24)), "100" + text("highestq"));
    EXPECT_EQ(jpeg->GetSelection(), 16);
    EXPECT_EQ(list(w, PublishWindow::kDiffQuality)->GetSelection(), -1) << "42 is no entry";
    EXPECT_EQ(std::string(entry(w, PublishWindow::kDate)->GetText()), "2004-02-29");
    EXPECT_EQ(std::string(entry(w, PublishWindow::kFolder)->GetText()), "/srv/www/walk");
    EXPECT_EQ(w.chosenSteps(), 1u | 2 | 4 | 8 | 32 | 64 | 128);
    EXPECT_TRUE(box(w, PublishWindow::kOpenBrowser)->IsChecked());
    EXPECT_FALSE(box(w, PublishWindow::kZip)->IsChecked());
    // The template box shows its folder on the grey of its colour.
    EXPECT_EQ(w.canvas()->image().at(PublishWindow::kTemplateBoxX + 1, PublishWindow::kTemplateBoxY + 1) & 0xFFFFFF,
              PublishWindow::kTemplateBoxColour);

    // Folders dropped above the template box are the output folder, below it
    // the template; files are ignored.
    std::string dropped = scratch.file("dropped");
    fs::create_directory(dropped);
    w.OnDropFile(dropped, 300, 20);
    EXPECT_EQ(std::string(entry(w, PublishWindow::kFolder)->GetText()), dropped);
    w.OnDropFile(dropped, 300, 200);
    EXPECT_EQ(w.templateFolder(), dropped);
    w.OnDropFile(png, 300, 200);
    EXPECT_EQ(w.templateFolder(), dropped);
    w.Destroy();

    // A document rebuilt from its publication republishes media only once
    // edited, writes no page, and starts at its own folder.
    doc->contentFlag = 1;
    doc->setFileName(scratch.file("site/tavlin.tvl"));
    PublishWindow reopened(owner.get(), doc.get(), settings(), nullptr);
    EXPECT_EQ(reopened.chosenSteps(), 8u | 32 | 64);
    EXPECT_EQ(std::string(entry(reopened, PublishWindow::kFolder)->GetText()), scratch.file("site"));
    reopened.Destroy();
}

TEST_F(PublishWindowTest, AWholePublicationThroughTheWindow) {
    std::string site = scratch.file("site");
    Album album(settings());
    PublishWindow w(owner.get(), doc.get(), settings(), &album);
    entry(w, PublishWindow::kFolder)->SetText(site + "/");
    entry(w, PublishWindow::kDate)->SetText("2024-5-6");
    list(w, PublishWindow::kJpegQuality)->SetSelection(18);  // 90
    box(w, PublishWindow::kAppletArchive)->SetChecked(false);  // no viewer archive ships with the tests
    box(w, PublishWindow::kOpenBrowser)->SetChecked(false);
    box(w, PublishWindow::kDataArchive)->SetChecked(true);
    box(w, PublishWindow::kZip)->SetChecked(true);
    w.setTemplateFolder(std::string(std::getenv("TAVLIN_TEST_SRC")) + "/template/simple");
    prompts.choices = {0};  // create the folder
    w.OnControl(PublishWindow::kPublish);
    ASSERT_EQ(w.result(), 1) << (prompts.messages.empty() ? "" : prompts.messages.back());
    EXPECT_EQ(prompts.questions, std::vector<std::string>{text("create_dir?")});
    for (const char* f : {"i0.gif", "tavlin.txt", "data.jar", "index.html", "site.zip"})
        EXPECT_TRUE(fs::exists(site + "/" + f)) << f;
    EXPECT_EQ(doc->jpegQuality, 90);
    EXPECT_EQ(doc->publishDate, 240506);
    EXPECT_EQ(settings().Get("jpeg_quality"), "90");
    EXPECT_EQ(settings().Get("last_web_dir"), site);
    EXPECT_EQ(settings().Get("param_data_jar"), "1");
    EXPECT_EQ(settings().Get("param_browser"), "0");
    EXPECT_EQ(settings().Get("rdst0"), site);
    w.Destroy();

    // Again: the erase question comes as its own window, answered Delete.
    PublishWindow again(owner.get(), doc.get(), settings(), &album);
    box(again, PublishWindow::kAppletArchive)->SetChecked(false);
    box(again, PublishWindow::kOpenBrowser)->SetChecked(false);
    std::vector<int32_t> listed;
    QTimer::singleShot(0, [&] {
        EraseFilesWindow* erase = EraseFilesWindow::current();
        ASSERT_NE(erase, nullptr);
        listed.push_back(dynamic_cast<ListBox*>(erase->ControlById(EraseFilesWindow::kList))->Count());
        erase->OnControl(EraseFilesWindow::kDelete);
    });
    again.OnControl(PublishWindow::kPublish);
    EXPECT_EQ(again.result(), 1);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0], 4) << "i0.gif, tavlin.txt, data.jar, index.html";
    EXPECT_EQ(album.entries().size(), 1u);
    again.Destroy();

    // A failing run keeps the window open and says why: here the viewer
    // archive is missing from the resource folder.
    PublishWindow failing(owner.get(), doc.get(), settings(), &album);
    box(failing, PublishWindow::kOpenBrowser)->SetChecked(false);
    QTimer::singleShot(0, [] {
        if (EraseFilesWindow* erase = EraseFilesWindow::current()) erase->OnControl(EraseFilesWindow::kDelete);
    });
    failing.OnControl(PublishWindow::kPublish);
    EXPECT_EQ(failing.result(), 0);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back().rfind(text("quit_saving"), 0), 0u) << prompts.messages.back();
    EXPECT_NE(prompts.messages.back().find("tavlin.jar"), std::string::npos) << prompts.messages.back();
    failing.OnControl(PublishWindow::kCancel);
    EXPECT_EQ(failing.result(), 0);
    failing.Destroy();
}

TEST_F(PublishWindowTest, TheAlbumShowsPagesAndReopensThem) {
    EXPECT_EQ(thumbnailRect(160, 120), (ThumbnailRect{10, 21, 90, 67}));
    EXPECT_EQ(thumbnailRect(60, 120), (ThumbnailRect{32, 10, 45, 90}));
    EXPECT_EQ(thumbnailRect(0, 5), ThumbnailRect{});

    std::string page = scratch.file("page");
    fs::create_directory(page);
    Image thumb(160, 120);
    for (auto& p : thumb.pixels) p = 0xFFFF0000;
    ASSERT_TRUE(JpegFormat().write(page + "/thumb.jpg", thumb));
    settings().Set("rdst0", page);
    settings().Set("rsrc0", scratch.file("gone.tvl"));
    settings().Set("rdst1", scratch.file("vanished"));
    Album album(settings());
    std::vector<std::string> opened, shelled;
    AlbumWindow w(owner.get(), album, [&](const std::string& p) { opened.push_back(p); return 1; },
                  [&](const std::string& t) { shelled.push_back(t); return true; });
    auto* rows = dynamic_cast<ListBox*>(w.ControlById(AlbumWindow::kList));
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->Count(), 2);
    EXPECT_TRUE(w.ControlById(AlbumWindow::kEdit)->IsEnabled());
    // The thumbnail keeps its proportions inside the grey square.
    EXPECT_EQ(w.canvas()->image().at(50, 15) & 0xFFFFFF, AlbumWindow::kThumbnailBackground);
    uint32_t red = w.canvas()->image().at(50, 50);
    EXPECT_GT((red >> 16) & 0xFF, 200u);
    EXPECT_LT(red & 0xFF, 60u);

    rows->SetSelection(1);
    w.OnControl(AlbumWindow::kList);
    EXPECT_FALSE(w.ControlById(AlbumWindow::kView)->IsEnabled()) << "a folder that is gone";
    rows->SetSelection(0);
    w.OnControl(AlbumWindow::kList);
    w.OnControl(AlbumWindow::kView);
    // Viewed through the preview server on loopback, not as a file a browser
    // would refuse to play; the server hands out the folder's files.
    ASSERT_EQ(shelled.size(), 1u);
    const std::string& address = shelled[0];
    EXPECT_EQ(address.rfind("http://127.0.0.1:", 0), 0u) << address;
    ASSERT_GT(address.size(), 11u);
    EXPECT_EQ(address.substr(address.size() - 11), "/index.html") << address;
    QNetworkAccessManager manager;
    QUrl thumbUrl(QString::fromStdString(address.substr(0, address.size() - 10) + "thumb.jpg"));
    QNetworkReply* reply = manager.get(QNetworkRequest(thumbUrl));
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    QTimer::singleShot(5000, &wait, &QEventLoop::quit);
    wait.exec();
    EXPECT_EQ(reply->readAll().toStdString(), test::readAll(page + "/thumb.jpg"));
    reply->deleteLater();
    // Its project is gone: the published content is opened instead.
    w.OnControl(AlbumWindow::kEdit);
    EXPECT_EQ(opened, std::vector<std::string>{page + "/tavlin.txt"});
    EXPECT_EQ(prompts.messages.back(), text("nosrcfile"));
    w.Destroy();

    // Saving a project whose folder is in the album attaches the project.
    Document d(10, 10);
    d.lastPublishFolder = scratch.file("vanished");
    d.setFileName(scratch.file("walk.tvl"));
    ASSERT_TRUE(album.Record(d));
    EXPECT_EQ(settings().Get("rdst0"), scratch.file("vanished"));
    EXPECT_EQ(settings().Get("rsrc0"), scratch.file("walk.tvl"));
    EXPECT_EQ(settings().Get("rdst1"), page);
    EXPECT_EQ(settings().Get("rsrc1"), scratch.file("gone.tvl"));
    Album reloaded(settings());
    reloaded.Load();
    ASSERT_EQ(reloaded.entries().size(), 2u);
}

}  // namespace
}  // namespace tavlin
