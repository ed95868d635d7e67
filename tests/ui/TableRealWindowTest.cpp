// A table in a real window on an X server (ui_tests.RealWindows runs this on a virtual X server): sorted by a
// header click, with rows selected and the current cell focused, and with an editor open over a cell; the
// screenshots go to GBX_SCREENSHOT_DIR as table-sorted.png and table-editing.png.
#include "platform/window/Application.h"
#include "platform/window/Window.h"
#include "tests/support/ListDriver.h"
#include "tests/support/WidgetDriver.h"
#include "tests/ui/TableTestSupport.h"
#include "ui/TableCellEditors.h"
#include "ui/TableCellRenderers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <boost/make_shared.hpp>

#include <cstdlib>
#include <string>

namespace {

using gbxtest::OnRealDisplay;
using gbxtest::ScreenshotPath;
using gbxtest::SongModel;

bool HasColour(const QImage& image, const QRect& area, platform::Colour colour) {
    const QRgb wanted = qRgb(colour.red, colour.green, colour.blue);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF)) return true;
    return false;
}

// Forty songs in a window, their flags as "Off" and "On".
struct SongWindow {
    SongWindow() {
        window.SetTitle("Songs");
        window.SetClientSize(platform::Size{520, 260});
        auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
        renderers->Add({-1, SongModel::kProtect},
                       boost::make_shared<UL::CBooleanTableCellRenderer>(UL::kCellLeft, "Off", "On"));
        table.SetModel(model);
        table.SetRendererResolver(renderers);
        table.Create(window, 4295, platform::Rect{8, 8, 512, 252});
    }
    // Shows the window, once the model is as the test wants it; true when the table holds the keyboard.
    bool Show() {
        table.Refresh();
        const int widths[] = {170, 110, 90, 80};
        for (int c = 0; c < 4; ++c) List().SetColumnWidth(c, widths[c]);
        window.Show();
        window.Activate();
        table.SetFocus();
        return gbxtest::PumpUntil([&] { return table.HasFocus(); }, 3000);
    }
    // The window as the screen shows it, saved under the name and read back.
    QImage Screenshot(const std::string& name) {
        gbxtest::PumpUntil([] { return false; }, 400);
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window.Widget()->winId()).toImage();
        const std::string path = ScreenshotPath(name);
        EXPECT_TRUE(shot.save(QString::fromStdString(path), "PNG")) << path;
        return QImage(QString::fromStdString(path));
    }
    // A strip inside a cell's left edge, in the window's pixels.
    QRect CellStrip(int row, int column) {
        const QPoint origin = List().ItemArea()->mapTo(window.Widget(), QPoint(0, 0));
        const platform::Rect r = List().SubItemRect(row, column);
        return QRect(origin.x() + r.left + 2, origin.y() + r.top + 2, 4, r.Height() - 4);
    }
    platform::ReportList& List() { return *table.GetList(); }

    platform::Window window;
    boost::shared_ptr<SongModel> model = boost::make_shared<SongModel>(gbxtest::MakeSongs(40));
    UL::CTableControl table;
};

TEST(RealWindows, SortedTableWithSelectedRows) {
    if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as ui_tests.RealWindows";
    ASSERT_TRUE(platform::StartWindowSystem());
    SongWindow songs;
    ASSERT_TRUE(songs.table.HasWindow());
    platform::ReportList& list = songs.List();
    songs.model->rows[2].title = "Lullaby for a very long night that does not fit its cell";
    ASSERT_TRUE(songs.Show());
    gbxtest::ClickHeader(list, SongModel::kArtist);
    gbxtest::Click(list, gbxtest::CellCentre(list, 2, 0));
    gbxtest::Click(list, gbxtest::CellCentre(list, 4, 1), Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(songs.table.GetSelection()->GetSelected().size(), 3u);
    const QImage saved = songs.Screenshot("table-sorted.png");
    ASSERT_FALSE(saved.isNull());

    // The selected rows on the highlight, the current cell on the light highlight, a row below them
    // on the window colour.
    const auto& pairs = UL::GetCellColourTable();
    EXPECT_TRUE(HasColour(saved, songs.CellStrip(3, 0), pairs[1].background)) << "a selected row";
    EXPECT_TRUE(HasColour(saved, songs.CellStrip(4, 1), pairs[3].background)) << "the editable current cell";
    EXPECT_TRUE(HasColour(saved, songs.CellStrip(6, 0), pairs[0].background)) << "a row not selected";
    EXPECT_GT(list.HeaderHeight(), 10) << "the header shows";
}

TEST(RealWindows, SortedTableWithAnEditorOpenOverACell) {
    if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as ui_tests.RealWindows";
    ASSERT_TRUE(platform::StartWindowSystem());
    SongWindow songs;
    ASSERT_TRUE(songs.table.HasWindow());
    UL::CTableControl& table = songs.table;
    platform::ReportList& list = songs.List();
    QWidget* window = songs.window.Widget();
    auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
    editors->Add({-1, SongModel::kTitle}, boost::make_shared<UL::CStringTableCellEditor>(false));
    table.SetEditorResolver(editors);
    ASSERT_TRUE(songs.Show());

    // Sorted by title, descending; row 3 selected; its title edited in place, the caret after the text.
    gbxtest::ClickHeader(list, SongModel::kTitle);
    gbxtest::ClickHeader(list, SongModel::kTitle);
    gbxtest::Click(list, gbxtest::CellCentre(list, 3, 0));
    gbxtest::Click(list, gbxtest::CellCentre(list, 3, 0), Qt::RightButton);
    ASSERT_NE(table.GetActiveEditor(), nullptr);
    QWidget* edit = QApplication::focusWidget();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(list.ItemArea()->isAncestorOf(edit));
    gbxtest::PressKey(window, Qt::Key_End);
    gbxtest::TypeText(edit, " (live)");
    const QImage saved = songs.Screenshot("table-editing.png");
    ASSERT_FALSE(saved.isNull());

    // The editor covers the cell it edits; the rest of the row shows the selection without the focus
    // (the editor has it); a row below is not selected.
    const QRect editor(edit->mapTo(window, QPoint(0, 0)), edit->size());
    EXPECT_TRUE(editor.contains(songs.CellStrip(3, 0).center()));
    const auto& pairs = UL::GetCellColourTable();
    EXPECT_FALSE(HasColour(saved, songs.CellStrip(3, 0), pairs[2].background)) << "the edited cell shows the editor";
    EXPECT_TRUE(HasColour(saved, songs.CellStrip(3, 1), pairs[2].background))
        << "the selected row, the focus elsewhere";
    EXPECT_TRUE(HasColour(saved, songs.CellStrip(5, 1), pairs[0].background)) << "a row not selected";
    EXPECT_GT(list.HeaderHeight(), 10) << "the header shows";

    const int edited = table.ViewRowToModelRow(3);
    const std::string title = songs.model->rows[size_t(edited)].title;
    gbxtest::PressKey(window, Qt::Key_Return);
    EXPECT_EQ(table.GetActiveEditor(), nullptr);
    EXPECT_EQ(songs.model->rows[size_t(edited)].title, title + " (live)");
}

}  // namespace
