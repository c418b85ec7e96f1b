#pragma once
// The frame of each picture generator: `tool <resources folder>`, drawn without a display,
// exit status 1 with a line naming the folder when a file cannot be written.
#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <functional>

inline int runPictureTool(int argc, char** argv, const std::function<bool(const QString&)>& write) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (!write(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "%s: could not write the pictures into %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
