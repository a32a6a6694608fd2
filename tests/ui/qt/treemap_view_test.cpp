// The treemap pane offscreen, over a real directory: its pixels against the
// toolkit-free renderer, clicks, the outline, zoom and its path, the
// accessible name, the size switch, and a picture drawn in the background.

#include "ui/qt/treemap_view.h"

#include <QAction>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <semaphore>
#include <string>

#include "model/list_treemap_input.h"
#include "model/treemap_picture.h"
#include "scan/dir_scanner.h"
#include "tests/temp_tree.h"

using namespace sizewalk;
using sizewalk::test::TempTree;

namespace {

std::uint32_t IndexNamed(const CScanList& list, std::string_view name) {
    for (std::size_t i = 0; i < list.Count(); ++i)
        if (list[i].GetName() == name) return static_cast<std::uint32_t>(i);
    return kNoNode;
}

// The picture the toolkit-free renderer makes for what the pane shows now.
std::unique_ptr<TreemapPicture> Expected(const CTreemapView& view) {
    TreemapRequest request;
    request.pList = view.List();
    request.mode = view.GetSizeMode();
    request.nRoot = view.ZoomRoot();
    request.nWidth = view.Picture().width();
    request.nHeight = view.Picture().height();
    return MakeTreemapPicture(request);
}

bool SamePixels(const QImage& image, const std::vector<std::uint32_t>& pixels) {
    if (static_cast<std::size_t>(image.width()) * image.height() != pixels.size()) return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != pixels[static_cast<std::size_t>(y) * image.width() + x])
                return false;
    return true;
}

}  // namespace

class TreemapViewTest : public QObject {
    Q_OBJECT
    TempTree m_tree;
    CDirScanner m_scanner;

    // The centre of a node's tile, in the pane's coordinates.
    QPoint CentreOf(const CTreemapView& view, std::uint32_t node) {
        const auto picture = Expected(view);
        const TreemapRect r = picture->layout.Rect(node);
        const QRect map = view.MapRect();
        const qreal ratio = view.Picture().width() / qreal(map.width());
        return QPoint(map.x() + int((r.x0 + r.x1) / 2 / ratio),
                      map.y() + int((r.y0 + r.y1) / 2 / ratio));
    }

private slots:
    void initTestCase() {
        // Apparent: big.iso (sparse) dominates; on disk: dense.dat does.
        m_tree.File("big.iso", 8 << 20);
        m_tree.Dir("pics");
        m_tree.File("pics/a.jpg", 2 << 20);
        m_tree.File("pics/b.txt", 1 << 20);
        std::ofstream(m_tree.Path("dense.dat"), std::ios::binary) << std::string(256 << 10, 'x');
        m_tree.Dir("empty");
        QCOMPARE(m_scanner.Scan(m_tree.Root()), ScanStatus::Complete);
    }

    void pixelsClickAndOutline() {
        CTreemapView view;
        view.resize(400, 300);
        view.SetList(&m_scanner.GetList());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const qreal ratio = view.devicePixelRatioF();
        QCOMPARE(view.Picture().width(), qRound(view.MapRect().width() * ratio));
        QCOMPARE(view.Picture().height(), qRound(view.MapRect().height() * ratio));
        QVERIFY(SamePixels(view.Picture(), Expected(view)->pixels));
        QVERIFY(view.PathLabel()->isVisible());
        QCOMPARE(view.PathLabel()->text(), QString::fromStdString(m_tree.Root()));
        QVERIFY(view.focusPolicy() & Qt::TabFocus);
        // What the pane paints is the picture, one device pixel each.
        const QImage painted =
            view.grab(view.MapRect()).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(painted.size(), view.Picture().size());
        QCOMPARE(painted.pixel(painted.width() / 3, painted.height() / 2),
                 view.Picture().pixel(painted.width() / 3, painted.height() / 2));
        // A folder with room shows its name on a dark plate: its box's left
        // end is darker than the picture there.
        const auto& labels = view.Labels();
        QCOMPARE(labels.size(), std::size_t(1));
        QCOMPARE(labels[0].strName, std::string("pics"));
        const QRgb under = view.Picture().pixel(labels[0].rect.x0 + 1, labels[0].rect.y0 + 1);
        const QRgb plate = painted.pixel(labels[0].rect.x0 + 1, labels[0].rect.y0 + 1);
        QVERIFY(qGray(plate) < qGray(under));

        const CScanList& list = m_scanner.GetList();
        QSignalSpy selected(&view, &CTreemapView::itemSelected);
        const std::uint32_t a = IndexNamed(list, "a.jpg");
        QTest::mouseClick(&view, Qt::LeftButton, {}, CentreOf(view, a));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toUInt(), a);
        QCOMPARE(view.Selected(), kNoNode);  // outlined when told, not when clicked
        view.SetSelected(a);
        QCOMPARE(view.IndexAt(QPoint(-1, 100)), kNoNode);

        // The outline sits on the tile's edge: white outside, black inside.
        const TreemapRect r = Expected(view)->layout.Rect(a);
        QCOMPARE(view.Picture().pixel(r.x0, r.y0), 0xFFFFFFFFu);
        const int thickness = std::max(2, qRound(2 * ratio));  // two pixels a scale
        QCOMPARE(view.Picture().pixel(r.x0 + (r.x1 - r.x0) / 2, r.y1 - thickness), 0xFF000000u);
        QCOMPARE(view.Picture().pixel(r.x0 + (r.x1 - r.x0) / 2, r.y1 - thickness - 1),
                 Expected(view)->pixels[std::size_t(r.y1 - thickness - 1) * view.Picture().width() +
                                        r.x0 + (r.x1 - r.x0) / 2]);
        view.SetSelected(kNoNode);
        QVERIFY(SamePixels(view.Picture(), Expected(view)->pixels));
        // An empty directory with no tile of its own outlines its parent.
        view.SetSelected(IndexNamed(list, "empty"));
        QVERIFY(!SamePixels(view.Picture(), Expected(view)->pixels));
    }

    void zoomPathAndName() {
        CTreemapView view;
        view.resize(320, 240);
        view.SetList(&m_scanner.GetList());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const CScanList& list = m_scanner.GetList();
        const std::uint32_t pics = IndexNamed(list, "pics"), b = IndexNamed(list, "b.txt");
        const QString root = QString::fromStdString(m_tree.Root());
        // 8 MiB of 11.25 MiB apparent.
        QCOMPARE(view.accessibleName(), "Treemap of " + root + ": largest big.iso, 71.1%");
        QVERIFY(!view.ZoomOutAction()->isEnabled());
        QVERIFY(!view.ZoomOut());

        QSignalSpy zoomed(&view, &CTreemapView::zoomRootChanged);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, CentreOf(view, b));
        QCOMPARE(view.ZoomRoot(), pics);
        QCOMPARE(zoomed.count(), 1);
        QCOMPARE(view.PathLabel()->text(), root + "/pics");
        QCOMPARE(view.accessibleName(),
                 "Treemap of " + root + "/pics: largest a.jpg, 66.7%, zoom level 1");
        QVERIFY(SamePixels(view.Picture(), Expected(view)->pixels));
        QVERIFY(view.ZoomOutAction()->isEnabled());

        QTest::keyClick(&view, Qt::Key_Backspace);
        QCOMPARE(view.ZoomRoot(), 0u);
        QCOMPARE(view.PathLabel()->text(), root);
        // Enter zooms into the selection's directory; the menu's Zoom Out
        // goes back.
        view.SetSelected(b);
        QTest::keyClick(&view, Qt::Key_Return);
        QCOMPARE(view.ZoomRoot(), pics);
        view.ZoomOutAction()->trigger();
        QCOMPARE(view.ZoomRoot(), 0u);
        // Home goes back to the start; at the start it does nothing.
        QVERIFY(!view.ZoomHomeAction()->isEnabled());
        QTest::keyClick(&view, Qt::Key_Return);
        QVERIFY(view.ZoomHomeAction()->isEnabled());
        QTest::keyClick(&view, Qt::Key_Home);
        QCOMPARE(view.ZoomRoot(), 0u);
        QCOMPARE(view.PathLabel()->text(), root);
        QVERIFY(!view.ZoomHomeAction()->isEnabled());
        // The tile's folder reached, Enter finds nothing more and passes on.
        QTest::keyClick(&view, Qt::Key_Return);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &enter);
        QVERIFY(!enter.isAccepted());
        QCOMPARE(view.ZoomRoot(), pics);
        // A file directly under the root zooms nowhere.
        QVERIFY(!view.ZoomInto(IndexNamed(list, "big.iso")));
    }

    void sizeModeSwitch() {
        CTreemapView view;
        view.resize(320, 240);
        view.SetList(&m_scanner.GetList());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage apparent = view.Picture();
        view.SetSizeMode(SizeMode::OnDisk);
        QVERIFY(view.Picture() != apparent);
        QVERIFY(SamePixels(view.Picture(), Expected(view)->pixels));
        QVERIFY(view.accessibleName().contains(": largest dense.dat, "));
        view.SetSizeMode(SizeMode::Apparent);
        QCOMPARE(view.Picture(), apparent);
        // No list: nothing to show, nothing under the pointer.
        view.SetList(nullptr);
        QVERIFY(view.Picture().isNull());
        QCOMPARE(view.accessibleName(), QStringLiteral("Treemap"));
        QCOMPARE(view.IndexAt(view.MapRect().center()), kNoNode);
    }

    void backgroundRenderDoesNotBlock() {
        CTreemapView view;
        view.resize(300, 200);
        view.SetList(&m_scanner.GetList());
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage before = view.Picture();
        std::counting_semaphore<64> entered(0);
        std::binary_semaphore release(0);
        view.RenderQueue().SetBackgroundCost(0);
        view.RenderQueue().SetWorkerGate([&] {
            entered.release();
            release.acquire();
        });
        view.resize(360, 260);  // returns while the worker is held
        entered.acquire();
        view.RenderQueue().SetWorkerGate({});  // holds this picture only
        QVERIFY(view.IsRendering());
        QCOMPARE(view.Picture(), before);
        // Meanwhile the pane answers: it paints (stretched) and hit-tests.
        QVERIFY(!view.grab().isNull());
        QVERIFY(view.IndexAt(view.MapRect().center()) != kNoNode);
        release.release();
        QTRY_VERIFY(!view.IsRendering());
        QTRY_COMPARE(view.Picture().width(),
                     qRound(view.MapRect().width() * view.devicePixelRatioF()));
        QVERIFY(SamePixels(view.Picture(), Expected(view)->pixels));

        // A list dropped while the worker draws: its picture never shows.
        view.RenderQueue().SetWorkerGate([&] { entered.release(); });
        view.SetSizeMode(SizeMode::OnDisk);
        entered.acquire();
        view.SetList(nullptr);
        QTest::qWait(20);
        QVERIFY(view.Picture().isNull());
    }
};

QTEST_MAIN(TreemapViewTest)
#include "treemap_view_test.moc"
