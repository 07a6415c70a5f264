#pragma once

#include <QString>

namespace velmr::test {

// The private folder of this test process: HOME, XDG folders and TMPDIR all lie inside it,
// WINEPREFIX is unset. Made before the first test runs, removed when the process ends.
QString PrivateRoot();
QString PrivateHome();
QString PrivateTemp();

// A fresh, empty folder inside the private temporary folder.
QString MakeTempFolder(const QString& hint = QStringLiteral("case"));

// Writes `data` to `path` (creating folders); fails the test on error.
void WriteFile(const QString& path, const QByteArray& data);
QByteArray ReadFile(const QString& path);

} // namespace velmr::test
