// The parts of a path that the jobs name pages and match extensions by.

#include "jobs/FileSystem.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace qp;

TEST(PathOperations, ExtensionNameBaseNameAndFolderOfAPath) {
    FileSystem fs;
    // The dot nearest the end, among the last five characters but the final one,
    // past separators.
    for (const auto& [name, extension] :
         std::vector<std::pair<QString, QString>>{{"a.doc", "doc"},
                                                  {"a.tar.gz", "gz"},
                                                  {"name.abcde", "Unknown"},
                                                  {"notes.", "Unknown"},
                                                  {"/a.b/cd", "b/cd"}})
        EXPECT_EQ(fs.GetFileExtension(name), extension) << name.toStdString();
    // Path, name, base name, base name in its folder, folder.
    for (const QStringList& c : std::vector<QStringList>{
             {"/docs/a.doc", "a.doc", "a", "/docs/a", "/docs/"},
             {"/a.b/readme", "readme", "readme", "/a.b/readme", "/a.b/"},
             {"/a.doc", "a.doc", "a", "/a", "/"},
             {"/home/u/.doc.doc", ".doc.doc", ".doc", "/home/u/.doc", "/home/u/"},
             {"/in/", "", "", "/in/", "/in/"},
             {"C:readme.txt", "C:readme.txt", "C:readme", "C:readme", "/"}})
        EXPECT_EQ(QStringList({c[0], fs.GetFileName(c[0]), fs.GetFileBaseName(c[0], false),
                               fs.GetFileBaseName(c[0], true), fs.GetPath(c[0])}),
                  c);
}
