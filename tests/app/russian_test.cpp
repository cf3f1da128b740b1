// SPDX-License-Identifier: MIT
// File sizes and dates in the file dialogs' list, written the Russian way.
#include "russian.h"

#include <gtest/gtest.h>

#include <QFileSystemModel>
#include <QTest>

#include "support/game_builder.h"

namespace narravox::app {
namespace {

TEST(RussianTest, FileSizesTakeTheRightFormOfTheWordAndRussianUnits) {
    const std::pair<qint64, const char*> kCases[] = {
        {0, "0 байт"},         {1, "1 байт"},    {2, "2 байта"},    {4, "4 байта"},
        {5, "5 байт"},         {11, "11 байт"},  {12, "12 байт"},   {14, "14 байт"},
        {21, "21 байт"},       {22, "22 байта"}, {111, "111 байт"}, {1023, "1023 байта"},
        {1024, "1,0 КБ"},      {4106, "4,0 КБ"}, {1536, "1,5 КБ"},  {1048576, "1,0 МБ"},
        {5ll << 30, "5,0 ГБ"},
    };
    for (const auto& [bytes, text] : kCases) {
        EXPECT_EQ(RussianFileSize(bytes), QString::fromUtf8(text)) << bytes;
    }
}

TEST(RussianTest, TheFileListShowsRussianSizesAndLeavesNamesAlone) {
    narravox::testing::TempFolder folder;
    narravox::testing::WriteFile(folder / "игра.nvs", "ab");
    QFileSystemModel files;
    RussianFileList list;
    list.setSourceModel(&files);
    const QString path = QString::fromStdString(folder.path().string());
    const QModelIndex root = list.mapFromSource(files.setRootPath(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.rowCount(root) == 1; }, 5000));
    const QModelIndex name = list.index(0, 0, root);
    EXPECT_EQ(name.data().toString(), "игра.nvs");
    EXPECT_EQ(list.index(0, 1, root).data().toString(), "2 байта");
    const QString date = list.index(0, 3, root).data().toString();
    EXPECT_EQ(date,
              QLocale(QLocale::Russian, QLocale::Russia)
                  .toString(QFileInfo(path + "/игра.nvs").lastModified(), QLocale::ShortFormat));
}

}  // namespace
}  // namespace narravox::app
