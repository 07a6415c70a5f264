#pragma once

#include "app/Application.h"
#include "app/MainForm.h"
#include "image/ImgKit.h"
#include "seal/MdiChild.h"
#include "tests/sibling/SiblingTestSupport.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace velmr::test {

// The program's windows, shown, with the Velmor program found and its install folder in the
// private temporary folder; the program's own store in the private HOME.
class SiblingCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ResetStore();
        install = MakeTempFolder(QStringLiteral("velmor"));
        windows = std::make_unique<app::ProgramWindows>();
        main = windows->mainForm.get();
        main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        QCoreApplication::processEvents();
        // The start check found no Velmor key in the empty store; as if it had found one.
        dialogs.messages.clear();
        dialogs.modalForms.clear();
        main->VelmorPresent = true;
        main->SetupRootPath = install;
        main->UpdateMenuItems();
    }
    void TearDown() override { windows.reset(); }

    seal::TMDIChild* NewNameSeal()
    {
        main->sbNewName->trigger();
        return main->ActiveDocument();
    }
    seal::TMDIChild* NewDateSeal()
    {
        main->sbNewDate->trigger();
        return main->ActiveDocument();
    }
    // A bitmap seal of a 24-bit picture, as if pasted.
    seal::TMDIChild* NewBitmap(int width, int height)
    {
        seal::TMDIChild* document = main->NewChildWindow(seal::kNewBitmapSealCaption);
        document->ImageHandle = Picture24(width, height, [](int x, int y) {
            return qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, (x ^ y) & 0xFF);
        });
        image::ImgKitImageInfo(document->ImageHandle, document->ImageInfo);
        document->LayOutPicture(seal::kNewBitmapSealCaption);
        main->UpdateMenuItems();
        return document;
    }
    void Register()
    {
        ASSERT_TRUE(main->mRegist->isEnabled());
        main->mRegist->trigger();
    }

    ScriptedDialogs dialogs;
    QString install;
    std::unique_ptr<app::ProgramWindows> windows;
    app::TMainForm* main = nullptr;
};

} // namespace velmr::test
