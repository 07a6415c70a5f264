#pragma once

#include "image/ImgKit.h"
#include "panel/ControlForm.h"
#include "panel/PanelControls.h"
#include "seal/MdiChild.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace velmr::test {

// The editing panel with the documents it edits, as the program wires them.
class PanelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        image::ImgKitLoadLibrary();
        form = std::make_unique<panel::TControlForm>();
        seal::TMDIChild::SetEditPanel(form.get());
        form->show();
    }
    void TearDown() override
    {
        documents.clear();
        seal::TMDIChild::SetEditPanel(nullptr);
        form.reset();
        EXPECT_EQ(image::ImgKitLiveImageCount(), 0u) << "every picture is released";
        image::ImgKitUnloadLibrary();
    }

public:
    seal::TMDIChild& NewDocument()
    {
        documents.push_back(std::make_unique<seal::TMDIChild>());
        return *documents.back();
    }
    seal::TMDIChild& NewNameSeal()
    {
        seal::TMDIChild& document = NewDocument();
        document.InitNewNameSeal();
        return document;
    }
    seal::TMDIChild& NewDateSeal()
    {
        seal::TMDIChild& document = NewDocument();
        document.InitNewDateSeal();
        return document;
    }

    template <typename T = QWidget> T* Control(const char* name) const
    {
        T* control = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    platform::RadioGroup* Group(const char* name) const
    {
        return Control<platform::RadioGroup>(name);
    }
    QSlider* Slider(const char* name) const { return Control<QSlider>(name); }
    panel::SjisEdit* Edit(const char* name) const { return Control<panel::SjisEdit>(name); }
    QString Text(const char* name) const { return Control<QLabel>(name)->text(); }

    // A real click in the middle of a button, a radio item or a check box.
    void Click(QAbstractButton* button) const
    {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    void Click(const char* name) const { Click(Control<QAbstractButton>(name)); }
    void ClickItem(const char* group, int item) const { Click(Group(group)->Item(item)); }

    // Text as an input method commits it, the way Japanese is typed.
    static void Commit(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(edit, &event);
    }
    // Typed at the end of the edit's text, one character after the other.
    static void TypeAtEnd(QLineEdit* edit, const QString& text)
    {
        edit->end(false);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const qsizetype length = text.at(i).isHighSurrogate() ? 2 : 1;
            Commit(edit, text.mid(i, length));
            i += length - 1;
        }
    }
    static void SlideRight(QSlider* slider) { QTest::keyClick(slider, Qt::Key_Right); }
    static void SlideLeft(QSlider* slider) { QTest::keyClick(slider, Qt::Key_Left); }

    ScriptedDialogs dialogs;
    std::unique_ptr<panel::TControlForm> form;
    std::vector<std::unique_ptr<seal::TMDIChild>> documents;
};

} // namespace velmr::test
