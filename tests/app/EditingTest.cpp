// Editing through the real windows: undo and redo of the panel's changes, the keys of the
// commands, files dropped on the main window and a paste without a picture.
#include "app/Application.h"
#include "app/MainForm.h"
#include "panel/ControlForm.h"
#include "panel/PanelControls.h"
#include "seal/MdiChild.h"
#include "seal/SealFile.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

using namespace velmr;

namespace {

// The four records exactly as they are in memory.
QByteArray RecordBytes(const seal::TMDIChild& d)
{
    QByteArray bytes;
    const auto add = [&bytes](const auto& record) {
        bytes.append(reinterpret_cast<const char*>(&record), sizeof record);
    };
    add(d.NameStamp);
    add(d.NameStampEx);
    add(d.DateStamp);
    add(d.DateStampEx);
    return bytes;
}

class EditingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        panel = windows->controlForm.get();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        QCoreApplication::processEvents(); // the first show places and shows the panel
        Activate(main);
    }
    void TearDown() override { windows.reset(); }

    static void Activate(QWidget* window)
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    template <typename T = QWidget> T* Control(const char* name) const
    {
        T* control = panel->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    void Click(QAbstractButton* button) const
    {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    void Click(const char* name) const { Click(Control<QAbstractButton>(name)); }
    void ClickItem(const char* group, int item) const
    {
        Click(Control<platform::RadioGroup>(group)->Item(item));
    }
    // Japanese as the input method commits it, at the end of the edit's text.
    void Type(const char* name, const QString& text) const
    {
        auto* edit = Control<QLineEdit>(name);
        edit->end(false);
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(edit, &event);
    }
    void Key(const char* name, Qt::Key key) const { QTest::keyClick(Control(name), key); }
    // A real drag of the slider's handle, from the middle of the groove, in several moves.
    void Drag(const char* name, int pixels, int moves) const
    {
        auto* slider = Control<QSlider>(name);
        const QPoint from = slider->rect().center();
        QTest::mousePress(slider, Qt::LeftButton, {}, from);
        for (int i = 1; i <= moves; ++i)
            QTest::mouseMove(slider, from + QPoint(pixels * i / moves, 0));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, from + QPoint(pixels, 0));
    }
    void PressKeys(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) const
    {
        QTest::keyClick(target, key, modifiers);
        QCoreApplication::processEvents();
    }
    void Undo() const { PressKeys(main, Qt::Key_Z, Qt::ControlModifier); }
    void Redo() const { PressKeys(main, Qt::Key_Y, Qt::ControlModifier); }

    test::ScriptedDialogs dialogs;
    std::unique_ptr<app::ProgramWindows> windows;
    app::TMainForm* main = nullptr;
    panel::TControlForm* panel = nullptr;
};

TEST_F(EditingTest, TwentyEditsUndoneOneByOneGiveBackEveryEarlierRecordAndRedoReachesTheLast)
{
    main->mNewName->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    ASSERT_NE(document, nullptr);
    EXPECT_FALSE(main->UndoItem->isEnabled());
    const std::function<void()> edits[] = {
        [&] { Type("Edit1", QStringLiteral("山")); },
        [&] { Key("tbX", Qt::Key_Right); },
        [&] { ClickItem("RadioGroup1", 0); },
        [&] { Click("Button2"); },
        [&] { Type("Edit2", QStringLiteral("田")); },
        [&] { ClickItem("RadioGroup4", 1); },
        [&] { Drag("TrackBar1", 30, 6); },
        [&] { Click("SpeedButton5"); },
        [&] { ClickItem("RadioGroup3", 2); },
        [&] { Click("CheckBox1"); },
        [&] { Type("Edit11", QStringLiteral("太")); },
        [&] { Click("Button3"); },
        [&] { Click(Control<QToolButton>("UpDown2_Up")); },
        [&] { Key("tbY", Qt::Key_Left); },
        [&] { ClickItem("RadioGroup11", 1); },
        [&] { Key("Edit1", Qt::Key_Backspace); },
        [&] { ClickItem("RadioGroup1", 3); },
        [&] { Key("TrackBar9", Qt::Key_Right); },
        [&] { Type("Edit12", QStringLiteral("郎")); },
        [&] { ClickItem("RadioGroup4", 3); },
    };
    std::vector<QByteArray> states{RecordBytes(*document)};
    for (std::size_t i = 0; i < std::size(edits); ++i) {
        edits[i]();
        states.push_back(RecordBytes(*document));
        ASSERT_NE(states[i + 1], states[i]) << "edit " << i << " changes the seal";
        ASSERT_EQ(document->History().UndoCount(), i + 1) << "edit " << i << " is one step";
    }
    EXPECT_TRUE(main->UndoItem->isEnabled());
    EXPECT_FALSE(main->RedoItem->isEnabled());
    EXPECT_TRUE(document->IsModified());

    for (std::size_t i = std::size(edits); i-- > 0;) {
        Undo();
        ASSERT_EQ(RecordBytes(*document), states[i]) << "undone back to before edit " << i;
        // The panel shows the records again.
        EXPECT_EQ(Control<QLineEdit>("Edit1")->text(), document->NameStamp.Text1.ToUnicode());
        EXPECT_EQ(Control<QSlider>("tbX")->value(), document->NameStamp.OffsetX);
        EXPECT_EQ(Control<QSlider>("TrackBar1")->value(), document->NameStamp.TextSpace);
    }
    EXPECT_FALSE(main->UndoItem->isEnabled());
    EXPECT_TRUE(main->RedoItem->isEnabled());
    EXPECT_FALSE(document->IsModified()) << "back at the new seal, the mark goes";
    EXPECT_EQ(document->parentWidget()->windowTitle(), QStringLiteral("新規認印"));

    for (std::size_t i = 1; i <= std::size(edits); ++i) {
        Redo();
        ASSERT_EQ(RecordBytes(*document), states[i]) << "redone up to edit " << i - 1;
    }
    EXPECT_FALSE(main->RedoItem->isEnabled());

    // A new change after an undo drops what was undone.
    Undo();
    Undo();
    Key("tbX", Qt::Key_Right);
    EXPECT_FALSE(main->RedoItem->isEnabled());
    EXPECT_EQ(document->History().UndoCount(), std::size(edits) - 1);
}

TEST_F(EditingTest, ASliderDragAndKeystrokesIntoOneFieldAreOneStepEach)
{
    main->sbNewDate->trigger();
    seal::TMDIChild* document = main->ActiveDocument();
    ASSERT_NE(document, nullptr);
    const QByteArray before = RecordBytes(*document);
    QSignalSpy moves(Control<QSlider>("TrackBar8"), &QSlider::valueChanged);
    Drag("TrackBar8", 40, 8);
    EXPECT_GE(moves.count(), 3) << "the drag moves the slider through several positions";
    EXPECT_NE(document->DateStampEx.L_T3Space, 0);
    EXPECT_EQ(document->History().UndoCount(), 1u);

    // Characters typed one by one into one field, then into another.
    for (const QString& c : {QStringLiteral("総"), QStringLiteral("務"), QStringLiteral("部")})
        Type("Edit5", c);
    const QByteArray typed = RecordBytes(*document);
    Type("Edit6", QStringLiteral("様"));
    EXPECT_EQ(document->History().UndoCount(), 3u);
    // Typing that comes back to where it began leaves no step.
    Key("Edit6", Qt::Key_Backspace);
    EXPECT_EQ(RecordBytes(*document), typed);
    EXPECT_EQ(document->History().UndoCount(), 2u);

    Undo();
    EXPECT_EQ(Control<QLineEdit>("Edit5")->text(), QStringLiteral("組織"));
    Undo();
    EXPECT_EQ(RecordBytes(*document), before);
    EXPECT_EQ(Control<QSlider>("TrackBar8")->value(), 0);
}

TEST_F(EditingTest, TheKeysTriggerTheirCommandsFromTheMainWindowAndThePanel)
{
    main->mNewName->trigger();
    Key("tbX", Qt::Key_Right); // something to undo
    QWidget* slider = Control("tbX");
    QWidget* edit = Control("Edit1");
    QApplication::clipboard()->setText(QStringLiteral("x"));
    struct Case
    {
        const char* where; // "main", "slider" (panel, a slider) or "edit" (panel, a text box)
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QAction* command;
        const char* shown; // the key as the menu shows it
        bool triggered;
    };
    const Case cases[] = {
        {"main", Qt::Key_O, Qt::ControlModifier, main->FileOpenItem, "Ctrl+O", true},
        {"main", Qt::Key_S, Qt::ControlModifier, main->FileSaveItem, "Ctrl+S", true},
        {"main", Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier, main->FileSaveAsItem,
         "Ctrl+Shift+S", true},
        {"main", Qt::Key_Z, Qt::ControlModifier, main->UndoItem, "Ctrl+Z", true},
        {"main", Qt::Key_Y, Qt::ControlModifier, main->RedoItem, "Ctrl+Y", true},
        {"slider", Qt::Key_Z, Qt::ControlModifier, main->UndoItem, "Ctrl+Z", true},
        {"slider", Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, main->RedoItem, "Ctrl+Y",
         true},
        {"slider", Qt::Key_S, Qt::ControlModifier, main->FileSaveItem, "Ctrl+S", true},
        // A text box of the panel keeps its own editing keys.
        {"edit", Qt::Key_V, Qt::ControlModifier, main->PasteItem, "Ctrl+V", false},
        {"edit", Qt::Key_Z, Qt::ControlModifier, main->UndoItem, "Ctrl+Z", false},
        {"edit", Qt::Key_S, Qt::ControlModifier, main->FileSaveItem, "Ctrl+S", true},
        {"main", Qt::Key_V, Qt::ControlModifier, main->PasteItem, "Ctrl+V", true},
        {"main", Qt::Key_D, Qt::ControlModifier, main->mReplica, "Ctrl+D", true},
        {"main", Qt::Key_N, Qt::ControlModifier, main->mNewName, "Ctrl+N", true},
        {"main", Qt::Key_W, Qt::ControlModifier, main->FileCloseItem, "Ctrl+W", true},
        {"main", Qt::Key_C, Qt::ControlModifier, main->CopyItem, "Ctrl+C", false}, // no bitmap
        {"main", Qt::Key_Q, Qt::ControlModifier, main->FileExitItem, "Ctrl+Q", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command->objectName().toStdString() + " from " + c.where);
        EXPECT_EQ(c.command->shortcut().toString(), QLatin1String(c.shown));
        QWidget* target = c.where == std::string_view("main")     ? main
                          : c.where == std::string_view("slider") ? slider
                                                                  : edit;
        Activate(target->window());
        target->setFocus();
        QSignalSpy spy(c.command, &QAction::triggered);
        const int documents = int(main->Documents().size());
        const QString text = Control<QLineEdit>("Edit1")->text();
        PressKeys(target, c.key, c.modifiers);
        EXPECT_EQ(spy.count(), c.triggered ? 1 : 0);
        if (c.command == main->mNewName || c.command == main->mReplica) {
            EXPECT_EQ(main->Documents().size(), documents + 1);
        }
        if (c.command == main->FileCloseItem) {
            EXPECT_EQ(main->Documents().size(), documents - 1);
        }
        if (c.where == std::string_view("edit") && !c.triggered) {
            EXPECT_NE(Control<QLineEdit>("Edit1")->text(), text) << "the text box took the key";
        }
    }
    EXPECT_EQ(dialogs.openRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests.size(), 4u); // a new seal's Save asks for a name
    EXPECT_EQ(dialogs.saveChangesQuestions.size(), 1u) << "Ctrl+Q asks about the changed seal";
    EXPECT_TRUE(main->isVisible()) << "and stays when that is cancelled";

    // The menus' access keys still work.
    Activate(main);
    QTest::keyClick(main, Qt::Key_E, Qt::AltModifier);
    QCoreApplication::processEvents();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().contains(main->UndoItem));
    menu->close();
}

TEST_F(EditingTest, SealFilesAndPicturesDroppedOnTheWindowOpenAndOtherDropsAreRefused)
{
    QTemporaryDir folder;
    const auto file = [&](const char* name, const QByteArray& bytes) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        return path;
    };
    const QString name =
        file("name.mkn", seal::NameSealFileBytes(seal::NewNameStamp(), seal::NewNameStampEx()));
    const QString date = file("date.mkd", seal::DateSealFileBytes(seal::NewDateStamp(), {}));
    const QString text = file("notes.txt", "not a seal");
    const QString picture = folder.filePath(QStringLiteral("picture.BMP"));
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture, "BMP"));
    const QString missing = folder.filePath(QStringLiteral("missing.mkn"));
    const QString photo = folder.filePath(QStringLiteral("photo.png"));
    const QString scan = folder.filePath(QStringLiteral("scan.tif"));
    ASSERT_TRUE(image.save(photo, "PNG"));
    ASSERT_TRUE(image.save(scan, "TIFF"));

    struct Case
    {
        QStringList dropped;
        QStringList opened;
    };
    const Case cases[] = {
        {{name}, {name}},
        {{date, picture}, {date, picture}},
        {{text}, {}},
        {{missing}, {}},
        {{text, name}, {name}},
        {{QStringLiteral("https://example.org/seal.mkn")}, {}},
        {{photo, scan}, {photo, scan}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dropped.join(u' ').toStdString());
        main->DestroyDocuments();
        QList<QUrl> urls;
        for (const QString& path : c.dropped)
            urls << (path.startsWith(u'/') ? QUrl::fromLocalFile(path) : QUrl(path));
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = main->ClientArea()->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main, &enter);
        EXPECT_EQ(enter.isAccepted(), !c.opened.isEmpty());
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(main, &drop);
        EXPECT_EQ(drop.isAccepted(), !c.opened.isEmpty());
        QCoreApplication::processEvents();
        QStringList captions;
        for (const seal::TMDIChild* document : main->Documents())
            captions << document->Caption();
        EXPECT_EQ(captions, c.opened);
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EditingTest, PasteWithoutAPictureSaysSoInTheStatusBar)
{
    QApplication::clipboard()->setText(QStringLiteral("only text"));
    PressKeys(main, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(main->Documents().isEmpty());
    EXPECT_EQ(main->StatusBar()->currentMessage(), QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞに画像がありません"));
}

} // namespace
