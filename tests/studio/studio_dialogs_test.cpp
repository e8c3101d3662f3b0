// The recent-files dialog and the document size dialog, built from the
// shipped descriptions and driven through their controls.

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "document/document.h"
#include "studio_fixture.h"
#include "ui/control.h"
#include "studio/dimension_dialog.h"
#include "studio/main_window.h"
#include "studio/recent_files_dialog.h"

namespace tavlin {
namespace {

using test::StudioTest;

class RecentDialogTest : public StudioTest {
protected:
    void TearDown() override {
        owner.reset();
        StudioTest::TearDown();
    }
    std::unique_ptr<Window> owner = std::make_unique<Window>(nullptr, 0, 0, 200, 200, kMainWindow);
};

ListBox* listOf(Window& w) { return dynamic_cast<ListBox*>(w.ControlById(RecentFilesDialog::kList)); }

TEST_F(RecentDialogTest, AMissingFileStaysListedButCannotBeOpened) {
    std::string here = scratch.write("here.tvl", "x");
    std::string gone = scratch.file("gone.tvl");
    settings().Set("recent0", here);
    settings().Set("recent1", gone);

    RecentFilesDialog dialog(owner.get(), recentFiles());
    ListBox* list = listOf(dialog);
    ASSERT_NE(list, nullptr);
    Control* open = dialog.ControlById(RecentFilesDialog::kOpen);
    ASSERT_NE(open, nullptr);
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_TRUE(open->IsEnabled());

    list->SetSelection(1);
    dialog.OnControl(RecentFilesDialog::kList);
    EXPECT_FALSE(open->IsEnabled());
    EXPECT_EQ(std::string(list->GetString(1)), gone);

    list->SetSelection(0);
    dialog.OnControl(RecentFilesDialog::kList);
    dialog.OnControl(RecentFilesDialog::kOpen);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(dialog.chosen(), here);
    dialog.Destroy();
}

TEST_F(RecentDialogTest, AnEmptyListLeavesNothingToOpen) {
    RecentFilesDialog dialog(owner.get(), recentFiles());
    ASSERT_NE(listOf(dialog), nullptr);
    EXPECT_EQ(listOf(dialog)->Count(), 0);
    EXPECT_FALSE(dialog.ControlById(RecentFilesDialog::kOpen)->IsEnabled());
    dialog.OnControl(RecentFilesDialog::kOpen);
    EXPECT_TRUE(dialog.chosen().empty());
    dialog.OnControl(RecentFilesDialog::kCancel);
    EXPECT_EQ(dialog.result(), 0);
    dialog.Destroy();
}

TEST(DocumentSize, EntriesAreCheckedAgainstTheLimits) {
    DocumentSize s;
    EXPECT_TRUE(parseDocumentSize("320", "240", "100", &s));
    EXPECT_EQ(s.width, 320);
    EXPECT_EQ(s.height, 240);
    EXPECT_EQ(s.length, 100);
    EXPECT_TRUE(parseDocumentSize("2048", "1", "999999", &s));
    EXPECT_TRUE(parseDocumentSize("12px", "8", "1", &s)) << "leading digits count";
    EXPECT_EQ(s.width, 12);
    EXPECT_FALSE(parseDocumentSize("2049", "240", "100", &s));
    EXPECT_FALSE(parseDocumentSize("0", "240", "100", &s));
    EXPECT_FALSE(parseDocumentSize("320", "-5", "100", &s));
    EXPECT_FALSE(parseDocumentSize("320", "240", "1000000", &s));
    EXPECT_FALSE(parseDocumentSize("320", "240", "0", &s));
    EXPECT_FALSE(parseDocumentSize("wide", "240", "100", &s));
    EXPECT_FALSE(parseDocumentSize("99999999999999999999", "240", "100", &s));
}

class DimensionDialogTest : public StudioTest {
protected:
    void SetUp() override {
        StudioTest::SetUp();
        if (IsSkipped()) return;
        owner = std::make_unique<Window>(nullptr, 0, 0, 200, 200, kMainWindow);
        doc = std::make_unique<Document>(320, 240);
    }
    void TearDown() override {
        owner.reset();
        StudioTest::TearDown();
    }
    static Edit* entry(Window& w, int32_t id) { return dynamic_cast<Edit*>(w.ControlById(id)); }
    std::unique_ptr<Window> owner;
    std::unique_ptr<Document> doc;
};

TEST_F(DimensionDialogTest, OkAppliesValidValuesToTheDocumentAndTheSettings) {
    doc->setLength(100);
    DimensionDialog dialog(owner.get(), *doc, settings());
    ASSERT_NE(entry(dialog, 0), nullptr);
    EXPECT_EQ(std::string(entry(dialog, 0)->GetText()), "320");
    EXPECT_EQ(std::string(entry(dialog, 1)->GetText()), "240");
    EXPECT_EQ(std::string(entry(dialog, 2)->GetText()), "100");

    entry(dialog, 0)->SetText("640");
    entry(dialog, 1)->SetText("480");
    entry(dialog, 2)->SetText("250");
    dialog.OnControl(DimensionDialog::kOk);
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(doc->stageWidth, 640);
    EXPECT_EQ(doc->stageHeight, 480);
    EXPECT_EQ(doc->length, 250);
    EXPECT_EQ(settings().Get("def_width"), "640");
    EXPECT_EQ(settings().Get("def_length"), "250");
    EXPECT_TRUE(doc->canUndo()) << "a new size is a change to save";
    EXPECT_TRUE(prompts.messages.empty());
    dialog.Destroy();
}

TEST_F(DimensionDialogTest, InvalidValuesChangeNothing) {
    DimensionDialog dialog(owner.get(), *doc, settings());
    entry(dialog, 0)->SetText("4000");
    dialog.OnControl(DimensionDialog::kOk);
    EXPECT_EQ(dialog.result(), 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], text("e_invalid_param"));
    EXPECT_EQ(doc->stageWidth, 320);
    EXPECT_EQ(settings().Find("def_width"), nullptr);
    EXPECT_FALSE(doc->canUndo());
    dialog.Destroy();

    DimensionDialog again(owner.get(), *doc, settings());
    again.OnControl(DimensionDialog::kCancel);
    EXPECT_EQ(again.result(), 0);
    again.Destroy();
}

}  // namespace
}  // namespace tavlin
