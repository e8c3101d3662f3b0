// Every dialog layout shipped in "res" builds with the real builder without a
// complaint; screenshots of them land beside the test program.

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>

#include "media/image/image_formats.h"
#include "media/media_registry.h"
#include "base/paths.h"
#include "core/prompts.h"
#include "core/resource_folder.h"
#include "support/recording_prompts.h"
#include "support/scratch.h"
#include "ui/control.h"
#include "ui/dialog.h"
#include "ui/platform.h"

namespace tavlin {
namespace {

std::string shippedRes() {
    if (const char* src = std::getenv("TAVLIN_TEST_SRC")) return joinPath(src, "res");
    return joinPath(QCoreApplication::applicationDirPath().toStdString(), "res");
}

class Shipped : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(joinPath(shippedRes(), "dialog.txt"))) GTEST_SKIP() << "no res folder at " << shippedRes();
        if (!findImageFormat("x.png")) registerImageFormats();
        resources().Open(shippedRes());
        installPrompts(&prompts_);
    }
    void TearDown() override {
        installPrompts(nullptr);
        resources().Open("");
    }
    test::RecordingPrompts prompts_;
};

TEST_F(Shipped, EveryDialogBuilds) {
    std::vector<std::string> names;
    std::istringstream in(test::readAll(joinPath(shippedRes(), "dialog.txt")));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(".D ", 0) == 0) names.push_back(line.substr(3, line.find(' ', 3) - 3));
    ASSERT_FALSE(names.empty());
    for (const char* needed : {"dmrecent", "dmalbum", "about", "dimension"})
        EXPECT_NE(std::find(names.begin(), names.end(), needed), names.end()) << needed;

    const QString shots = QCoreApplication::applicationDirPath() + "/dialogs";
    QDir().mkpath(shots);
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        Dialog d(nullptr, name);
        EXPECT_TRUE(prompts_.messages.empty()) << prompts_.messages.front();
        prompts_.messages.clear();
        EXPECT_FALSE(d.controls().empty());
        EXPECT_GT(d.client()->width(), 10);
        // Ids are what the dialog classes look controls up by: no two alike.
        std::set<int32_t> ids;
        for (const Control* c : d.controls()) EXPECT_TRUE(ids.insert(c->id()).second) << "id " << c->id();
        d.Show(true);
        PumpPending();
        d.widget()->grab().save(shots + "/" + QString::fromStdString(name) + ".png");
    }
}

}  // namespace
}  // namespace tavlin
