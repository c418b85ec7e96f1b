// kvr_wl_grab kwin|portal all|active|pointer-monitor|monitors|output=NAME OUT.png
// [LIMIT_MS [LINGER_MS]]: one shot through a Wayland source as the main window takes it (the
// source prepared; for the portal, the shortest countdown; the grab), written losslessly for the
// tests to compare; "W H MS" on stdout, the user's message on stderr (exit 1) when the source
// refuses, exit 4 when the person cancelled. Run inside the session as its user.
#include <QCoreApplication>
#include <QImage>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/error.h"
#include "platform/wayland/kwin_source.h"
#include "platform/wayland/portal_source.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: kvr_wl_grab kwin|portal "
                     "all|active|pointer-monitor|monitors|output=NAME OUT.png [LIMIT_MS]\n");
        return 2;
    }
    const std::string which = argv[1];
    const kvr::ShotMode mode = std::strcmp(argv[2], "active") == 0 ? kvr::ShotMode::ActiveWindow
                                                                   : kvr::ShotMode::AllScreen;
    kvr::ShotRequest request;
    request.mode = mode;
    const std::string choice = argv[2];
    if (choice == "pointer-monitor")
        request.monitor = kvr::MonitorChoice::UnderPointer;
    else if (choice == "monitors")
        request.monitor = kvr::MonitorChoice::All;
    else if (choice.rfind("output=", 0) == 0)
        request.output = choice.substr(7);
    std::unique_ptr<kvr::ScreenSource> source =
        which == "kwin" ? kvr::makeKWinSource()
        : argc > 4      ? kvr::makePortalSource({std::chrono::milliseconds(std::stol(argv[4])),
                                                 std::chrono::milliseconds(std::stol(argv[4]))})
                        : kvr::makePortalSource();
    std::printf("supports %d\n", source->supports(mode) ? 1 : 0);
    const auto linger = [&] {
        // LINGER_MS: stay up a while, as the program would, for what the source left running.
        if (argc > 5) {
            QTimer::singleShot(std::stoi(argv[5]), &app, &QCoreApplication::quit);
            app.exec();
        }
    };
    try {
        source->prepare(request);
        if (which == "portal") {
            QTimer::singleShot(1000, &app, &QCoreApplication::quit);
            app.exec();
        }
        const auto t0 = std::chrono::steady_clock::now();
        const kvr::Picture p = source->grab(request);
        const auto ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0);
        // Every source here gives 32-bit 0x00RRGGBB words, the layout of QImage's RGB32; a
        // picked window with its shadow 0xAARRGGBB, ARGB32's.
        const QImage image(p.pixels, p.width, p.height, qsizetype(p.stride),
                           p.alphaMask ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", argv[3]);
            return 3;
        }
        std::printf("%d %d %.1f\n", p.width, p.height, ms.count());
        // Where the source says each output lies in that picture (the region's overlays).
        if (choice == "monitors")
            for (const kvr::MonitorPlace& m : source->monitorPlaces())
                std::printf("place %s %d %d %d %d\n", m.name.c_str(), m.rect.x, m.rect.y,
                            m.rect.width, m.rect.height);
    } catch (const kvr::ShotCancelled&) {
        std::printf("cancelled\n");
        return 4;
    } catch (const kvr::KvrError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        std::fflush(stderr);
        linger();
        return 1;
    }
    return 0;
}
