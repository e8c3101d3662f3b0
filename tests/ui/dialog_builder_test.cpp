#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "support/recording_prompts.h"
#include "support/scratch.h"
#include "canvas/canvas.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/platform.h"

namespace tavlin {
namespace {

class DialogBuilder : public ::testing::Test {
protected:
    void SetUp() override {
        if (!findImageFormat("x.png")) registerImageFormats();
        res_ = dir_.file("res");
        std::filesystem::create_directories(res_);
        write("res.txt",
              "e_no_dialog\tLayout missing\n"
              "e_gen_window\tControl failed\n");
        resources().Open(res_);
        installPrompts(&prompts_);
    }
    void TearDown() override {
        installPrompts(nullptr);
        resources().Open("");
    }

    void write(const std::string& name, const std::string& text) { dir_.write("res/" + name, text); }
    void writeImage(const std::string& name, int32_t w, int32_t h, uint32_t argb) {
        Image image(w, h);
        for (uint32_t& p : image.pixels) p = argb;
        ASSERT_TRUE(PngFormat().write(joinPath(res_, name), image));
    }
    static uint32_t pixel(Window& w, int32_t x, int32_t y) { return w.canvas()->image().at(x, y) & 0xFFFFFF; }

    test::ScratchDir dir_;
    std::string res_;
    test::RecordingPrompts prompts_;
};

const char kEveryRecord[] =
    "# Every kind of record\n"
    ".D other 50 50 Not this one\n"
    ".B 9 0 0 10 10 Wrong\n"
    "..\n"
    ".D every 360 260 Every record\n"
    "# a comment inside the dialog\n"
    ".E 0 10 10 150 24\n"
    ".B 1 10 44 90 28 &OK\n"
    ".C 2 110 44 120 24 Remember this\n"
    ".M 3 170 10 120 24\n"
    ".T 4 10 80 150 100\n"
    ".I 5 170 80 0 0 bplay\n"
    ".L 10 190 200 20 Labels & text\n"
    ".P 250 80 0 50 logo.png\n"
    ".S 6 10 225 200 16\n"
    ".S 7 330 60 16 150\n"
    "..\n"
    ".E 99 0 0 10 10\n";

TEST_F(DialogBuilder, EveryRecordLetterMakesItsControl) {
    write("dialog.txt", kEveryRecord);
    writeImage("bplayn.png", 24, 20, 0xFFFF0000);
    writeImage("bplayp.png", 24, 20, 0xFF00FF00);
    writeImage("bplayr.png", 24, 20, 0xFF00FFFF);
    writeImage("bplayd.png", 24, 20, 0xFF808080);
    writeImage("logo.png", 40, 25, 0xFF0000FF);

    Dialog d(nullptr, "every");
    EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();
    EXPECT_EQ(d.kind(), kToolWindow);
    EXPECT_EQ(d.widget()->windowTitle().toStdString(), "Every record");
    EXPECT_EQ(d.client()->width(), 360);
    EXPECT_EQ(d.client()->height(), 260);

    struct Want {
        int32_t id, x, y, w, h;
    };
    const std::vector<Want> want = {{0, 10, 10, 150, 24},  {1, 10, 44, 90, 28},  {2, 110, 44, 120, 24},
                                    {3, 170, 10, 120, 24}, {4, 10, 80, 150, 100}, {5, 170, 80, 24, 20},
                                    {6, 10, 225, 200, 16}, {7, 330, 60, 16, 150}};
    ASSERT_EQ(d.controls().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const Control* c = d.controls()[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(c->id(), want[i].id);
        EXPECT_EQ(c->x(), want[i].x);
        EXPECT_EQ(c->y(), want[i].y);
        EXPECT_EQ(c->width(), want[i].w);
        EXPECT_EQ(c->height(), want[i].h);
        EXPECT_EQ(d.ControlById(want[i].id), c);
    }
    EXPECT_NE(dynamic_cast<Edit*>(d.ControlById(0)), nullptr);
    auto* ok = dynamic_cast<Button*>(d.ControlById(1));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->label(), "&OK");
    EXPECT_NE(dynamic_cast<CheckButton*>(d.ControlById(2)), nullptr);
    EXPECT_NE(dynamic_cast<ComboBox*>(d.ControlById(3)), nullptr);
    EXPECT_NE(dynamic_cast<ListBox*>(d.ControlById(4)), nullptr);
    EXPECT_NE(dynamic_cast<ImageButton*>(d.ControlById(5)), nullptr);
    auto* across = dynamic_cast<Slider*>(d.ControlById(6));
    auto* upright = dynamic_cast<Slider*>(d.ControlById(7));
    ASSERT_TRUE(across && upright);
    EXPECT_TRUE(across->horizontal());
    EXPECT_FALSE(upright->horizontal());
    EXPECT_EQ(across->maximum(), 100);
    EXPECT_EQ(d.focusedControl(), d.ControlById(0));

    // Face colour behind everything, the image button's normal picture, the
    // picture kept at its width and scaled to height 50, black label text.
    const uint32_t face = Canvas::FaceColour() & 0xFFFFFF;
    EXPECT_EQ(pixel(d, 300, 240), face);
    EXPECT_EQ(pixel(d, 180, 90), 0xFF0000u);
    EXPECT_EQ(pixel(d, 251, 81), 0x0000FFu);
    EXPECT_EQ(pixel(d, 289, 129), 0x0000FFu);
    EXPECT_EQ(pixel(d, 291, 100), face);
    EXPECT_EQ(pixel(d, 270, 131), face);
    int dark = 0;
    for (int32_t y = 190; y < 210; ++y)
        for (int32_t x = 10; x < 210; ++x) dark += pixel(d, x, y) == 0;
    EXPECT_GT(dark, 20);

    // A screenshot for a person to look at, beside the test program.
    d.Show(true);
    PumpPending();
    QPixmap shot = d.widget()->grab();
    EXPECT_FALSE(shot.isNull());
    shot.save(QCoreApplication::applicationDirPath() + "/dialog_every_record.png");
}

TEST_F(DialogBuilder, MissingPicturesAreReportedAndSkipped) {
    write("dialog.txt",
          ".D pics 200 120 Pictures\n"
          ".I 1 0 0 0 0 nothing\n"
          ".P 0 40 10 10 none.png\n"
          ".I 2 10 10 30 30 half\n"
          ".B 3 0 60 50 20 After\n"
          "..\n");
    writeImage("halfn.png", 8, 8, 0xFF112233);
    Dialog d(nullptr, "pics");
    const auto& m = prompts_.messages;
    auto has = [&](const std::string& text) { return std::find(m.begin(), m.end(), text) != m.end(); };
    EXPECT_TRUE(has("No image data for ImageButton (nothing)"));
    EXPECT_TRUE(has("No image data for Image (none.png)"));
    // The missing state pictures of "half" are only the lookup's own messages.
    EXPECT_FALSE(has("No image data for ImageButton (half)"));
    EXPECT_TRUE(has("Cannot read image resource (halfp.png)"));
    EXPECT_EQ(d.ControlById(1), nullptr);
    ASSERT_NE(d.ControlById(2), nullptr);
    EXPECT_EQ(d.ControlById(2)->width(), 30);
    EXPECT_NE(d.ControlById(3), nullptr);
    EXPECT_EQ(d.controls().size(), 2u);
    // Without hover, the normal picture scaled into its 30 x 30 rectangle.
    EXPECT_EQ(pixel(d, 35, 35), 0x112233u);
}

TEST_F(DialogBuilder, MissingFileOrName) {
    // No description file: "e_no_dialog", and an empty 10 x 10 window.
    {
        Dialog d(nullptr, "every");
        EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Layout missing"});
        EXPECT_TRUE(d.controls().empty());
        EXPECT_EQ(d.client()->width(), 10);
        EXPECT_EQ(d.client()->height(), 10);
    }
    prompts_.messages.clear();
    write("dialog.txt", kEveryRecord);
    write("extra.txt", ".D every 80 40 From another file\n.E 4 1 2 3 4\n");
    {
        Window w(nullptr, 0, 0, 10, 10, kToolWindow);
        EXPECT_EQ(BuildDialog(&w, "absent"), 1);
        EXPECT_TRUE(w.controls().empty());
        EXPECT_EQ(BuildDialog(&w, "every", "nofile.txt"), 0);
        EXPECT_EQ(BuildDialog(&w, "every", "extra.txt"), 1);
        ASSERT_EQ(w.controls().size(), 1u);
        EXPECT_EQ(w.controls()[0]->id(), 4);
        EXPECT_EQ(w.client()->width(), 80);
    }
    EXPECT_TRUE(prompts_.messages.empty());
    resources().Open("");
    {
        Window w(nullptr, 0, 0, 10, 10, kToolWindow);
        EXPECT_EQ(BuildDialog(&w, "every"), 0);
    }
}

TEST_F(DialogBuilder, BadDescriptionsBuildWhatTheyCan) {
    std::string text =
        ".D bad 99999 -5 Bad sizes\n"
        ".B 1 10 10 2000000000 2000000000 Huge\n"
        ".E 2\n"
        ".S 3 0 0 0 0\n"
        ".L -50 -50 100000 100000 Off the edge\n"
        ".C " + std::string(3000, '7') + "\n"
        ".X 1 2 3 4 5\n"
        "..\n";
    write("dialog.txt", text);
    Dialog d(nullptr, "bad");
    EXPECT_EQ(d.client()->width(), kDialogMaxSide);
    EXPECT_EQ(d.client()->height(), 1);
    ASSERT_EQ(d.controls().size(), 4u);
    EXPECT_EQ(d.ControlById(1)->width(), kDialogMaxSide);
    EXPECT_EQ(d.ControlById(2)->width(), kDialogMaxSide);  // carried over, cut
    EXPECT_EQ(d.ControlById(3)->width(), 0);
    EXPECT_EQ(d.controls()[3]->id(), INT32_MAX);

    // A header without sizes keeps the window as it was.
    write("dialog.txt", ".D nosize\n.B 1 0 0 20 20 B\n");
    Dialog n(nullptr, "nosize");
    EXPECT_EQ(n.client()->width(), 10);
    EXPECT_EQ(n.controls().size(), 1u);
}

// Ends with the id of the button pressed, as the program's dialogs do.
class ChoiceDialog : public Dialog {
public:
    using Dialog::Dialog;
    void OnControl(int32_t id) override {
        seen.push_back(id);
        if (id == 1) EndModal(41);
    }
    std::vector<int32_t> seen;
};

TEST_F(DialogBuilder, ModalUse) {
    write("dialog.txt", ".D choice 200 80 Choose\n.E 0 10 10 100 24\n.B 1 10 40 80 28 OK\n..\n");
    Window owner(nullptr, 0, 0, 300, 200, kMainWindow);
    {
        ChoiceDialog d(&owner, "choice");
        EXPECT_EQ(d.owner(), &owner);
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(d.running());
            EXPECT_FALSE(owner.client()->isEnabled());
            static_cast<QAbstractButton*>(d.ControlById(1)->NativeHandle())->click();
        });
        EXPECT_EQ(d.DoModal(), 41);
        EXPECT_EQ(d.seen, std::vector<int32_t>{1});
        EXPECT_TRUE(owner.client()->isEnabled());
    }
    {
        // The close box ends the loop with -1.
        ChoiceDialog d(&owner, "choice");
        QTimer::singleShot(0, [&] { d.widget()->close(); });
        EXPECT_EQ(d.DoModal(), -1);
        EXPECT_TRUE(owner.client()->isEnabled());
    }
    EXPECT_TRUE(prompts_.messages.empty());
}

}  // namespace
}  // namespace tavlin
