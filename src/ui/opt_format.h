#pragma once
// The options dialog's page for the lossless format: BMP (as always) or PNG, [Save] png.
#include <QObject>

class QRadioButton;
class QTabWidget;

namespace kvr {
class Settings;

class LosslessFormatPage {
public:
    // Adds the page after the others.
    explicit LosslessFormatPage(QTabWidget& pages);

    // [Save] png: missing or not a number is BMP.
    void load(const Settings& settings);
    bool png() const;

    QRadioButton* bmpButton() const { return bmp_; }
    QRadioButton* pngButton() const { return png_; }

private:
    QRadioButton* bmp_;
    QRadioButton* png_;
};

}  // namespace kvr
