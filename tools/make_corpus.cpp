// Writes the seed drawings of the file mutation test into a folder:
//   pavo_make_corpus tests/data/corpus
// The files are committed; the corpus test checks that they still read back as the
// drawings they were made from.

#include "drawing_fixtures.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "%s: cannot create the folder\n", argv[1]);
        return 1;
    }
    for (const CorpusEntry& entry : corpus_entries()) {
        const QString path = dir.filePath(entry.name);
        const Result<> save = writeFileAtomically(path, corpus_file(entry));
        if (!save) {
            std::fprintf(stderr, "%s\n", qPrintable(save.error()));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
