// A table in a real window on an X server (ui_tests.RealWindows runs this under xvfb-run): sorted by a
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

bool HasColour(const QImage& image, const QRect& area, platform::Colour colour) {
    const QRgb wanted = qRgb(colour.red, colour.green, colour.blue);
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (wanted & 0xFFFFFF)) return true;
    return false;
}

TEST(RealWindows, SortedTableWithSelectedRows) {
    if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as ui_tests.RealWindows";
    ASSERT_TRUE(platform::StartWindowSystem());

    platform::Window window;
    window.SetTitle("Songs");
    window.SetClientSize(platform::Size{520, 260});
    auto model = boost::make_shared<gbxtest::SongModel>(gbxtest::MakeSongs(40));
    model->rows[2].title = "Lullaby for a very long night that does not fit its cell";
    auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
    renderers->Add({-1, gbxtest::SongModel::kProtect},
                   boost::make_shared<UL::CBooleanTableCellRenderer>(UL::kCellLeft, "Off", "On"));
    UL::CTableControl table;
    table.SetModel(model);
    table.SetRendererResolver(renderers);
    ASSERT_TRUE(table.Create(window, 4295, platform::Rect{8, 8, 512, 252}));
    table.Refresh();
    const int widths[] = {170, 110, 90, 80};
    for (int c = 0; c < 4; ++c) table.GetList()->SetColumnWidth(c, widths[c]);
    window.Show();
    window.Activate();
    table.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); }, 3000));

    gbxtest::ClickHeader(*table.GetList(), gbxtest::SongModel::kArtist);
    gbxtest::Click(*table.GetList(), gbxtest::CellCentre(*table.GetList(), 2, 0));
    gbxtest::Click(*table.GetList(), gbxtest::CellCentre(*table.GetList(), 4, 1), Qt::LeftButton, Qt::ShiftModifier);
    ASSERT_EQ(table.GetSelection()->GetSelected().size(), 3u);
    gbxtest::PumpUntil([] { return false; }, 400);

    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window.Widget()->winId()).toImage();
    const std::string path = ScreenshotPath("table-sorted.png");
    ASSERT_TRUE(shot.save(QString::fromStdString(path), "PNG")) << path;
    const QImage saved(QString::fromStdString(path));
    ASSERT_FALSE(saved.isNull());

    // The selected rows on the highlight, the current cell on the light highlight, a row below them
    // on the window colour.
    const platform::ReportList& list = *table.GetList();
    const QPoint origin = list.ItemArea()->mapTo(window.Widget(), QPoint(0, 0));
    auto area = [&](int row, int column) {
        const platform::Rect r = list.SubItemRect(row, column);
        return QRect(origin.x() + r.left + 2, origin.y() + r.top + 2, 4, r.Height() - 4);
    };
    const auto& pairs = UL::GetCellColourTable();
    EXPECT_TRUE(HasColour(saved, area(3, 0), pairs[1].background)) << "a selected row";
    EXPECT_TRUE(HasColour(saved, area(4, 1), pairs[3].background)) << "the editable current cell";
    EXPECT_TRUE(HasColour(saved, area(6, 0), pairs[0].background)) << "a row not selected";
    EXPECT_GT(list.HeaderHeight(), 10) << "the header shows";
}

TEST(RealWindows, SortedTableWithAnEditorOpenOverACell) {
    if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as ui_tests.RealWindows";
    ASSERT_TRUE(platform::StartWindowSystem());

    platform::Window window;
    window.SetTitle("Songs");
    window.SetClientSize(platform::Size{520, 260});
    auto model = boost::make_shared<gbxtest::SongModel>(gbxtest::MakeSongs(40));
    auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
    renderers->Add({-1, gbxtest::SongModel::kProtect},
                   boost::make_shared<UL::CBooleanTableCellRenderer>(UL::kCellLeft, "Off", "On"));
    auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
    editors->Add({-1, gbxtest::SongModel::kTitle}, boost::make_shared<UL::CStringTableCellEditor>(false));
    UL::CTableControl table;
    table.SetModel(model);
    table.SetRendererResolver(renderers);
    table.SetEditorResolver(editors);
    ASSERT_TRUE(table.Create(window, 4295, platform::Rect{8, 8, 512, 252}));
    table.Refresh();
    const int widths[] = {170, 110, 90, 80};
    for (int c = 0; c < 4; ++c) table.GetList()->SetColumnWidth(c, widths[c]);
    window.Show();
    window.Activate();
    table.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); }, 3000));

    // Sorted by title, descending; row 3 selected; its title edited in place, the caret after the text.
    platform::ReportList& list = *table.GetList();
    gbxtest::ClickHeader(list, gbxtest::SongModel::kTitle);
    gbxtest::ClickHeader(list, gbxtest::SongModel::kTitle);
    gbxtest::Click(list, gbxtest::CellCentre(list, 3, 0));
    gbxtest::Click(list, gbxtest::CellCentre(list, 3, 0), Qt::RightButton);
    ASSERT_NE(table.GetActiveEditor(), nullptr);
    QWidget* edit = QApplication::focusWidget();
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(list.ItemArea()->isAncestorOf(edit));
    gbxtest::PressKey(window.Widget(), Qt::Key_End);
    gbxtest::TypeText(edit, " (live)");
    gbxtest::PumpUntil([] { return false; }, 400);

    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window.Widget()->winId()).toImage();
    const std::string path = ScreenshotPath("table-editing.png");
    ASSERT_TRUE(shot.save(QString::fromStdString(path), "PNG")) << path;
    const QImage saved(QString::fromStdString(path));
    ASSERT_FALSE(saved.isNull());

    // The editor covers the cell it edits; the rest of the row shows the selection without the focus
    // (the editor has it); a row below is not selected.
    const QPoint origin = list.ItemArea()->mapTo(window.Widget(), QPoint(0, 0));
    auto area = [&](int row, int column) {
        const platform::Rect r = list.SubItemRect(row, column);
        return QRect(origin.x() + r.left + 2, origin.y() + r.top + 2, 4, r.Height() - 4);
    };
    const QRect editor(edit->mapTo(window.Widget(), QPoint(0, 0)), edit->size());
    const platform::Rect cell = list.SubItemRect(3, 0);
    EXPECT_TRUE(editor.contains(QPoint(origin.x() + cell.left + 4, origin.y() + (cell.top + cell.bottom) / 2)));
    const auto& pairs = UL::GetCellColourTable();
    EXPECT_FALSE(HasColour(saved, area(3, 0), pairs[2].background)) << "the edited cell shows the editor";
    EXPECT_TRUE(HasColour(saved, area(3, 1), pairs[2].background)) << "the selected row, the focus elsewhere";
    EXPECT_TRUE(HasColour(saved, area(5, 1), pairs[0].background)) << "a row not selected";
    EXPECT_GT(list.HeaderHeight(), 10) << "the header shows";

    const int edited = table.ViewRowToModelRow(3);
    const std::string title = model->rows[size_t(edited)].title;
    gbxtest::PressKey(window.Widget(), Qt::Key_Return);
    EXPECT_EQ(table.GetActiveEditor(), nullptr);
    EXPECT_EQ(model->rows[size_t(edited)].title, title + " (live)");
}

}  // namespace
