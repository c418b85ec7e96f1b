#pragma once
// The options dialog's page for the lossless format: BMP (as always), PNG or WebP, [Save] png.
#include <QObject>

#include "core/choices.h"

class QRadioButton;
class QTabWidget;

namespace kvr {
class Settings;

class LosslessFormatPage {
public:
    // Adds the page after the others.
    explicit LosslessFormatPage(QTabWidget& pages);

    // [Save] png: missing, not a number or unknown is BMP.
    void load(const Settings& settings);
    SaveFormat format() const;

    QRadioButton* bmpButton() const { return bmp_; }
    QRadioButton* pngButton() const { return png_; }
    QRadioButton* webpButton() const { return webp_; }

private:
    QRadioButton* bmp_;
    QRadioButton* png_;
    QRadioButton* webp_;
};

}  // namespace kvr
