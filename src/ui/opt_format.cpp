#include "opt_format.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QRadioButton>
#include <QTabWidget>

#include "core/formats.h"
#include "core/settings.h"

namespace kvr {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TForm2", text);
}

}  // namespace

LosslessFormatPage::LosslessFormatPage(QTabWidget& pages) {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheetFormat"));
    // Laid out as the folder page's choice, at the dialog's 96-dpi geometry (scaled later with
    // the rest).
    auto* group = new QGroupBox(tr("可逆圧縮の保存形式"), page);
    group->setObjectName(QStringLiteral("LosslessFormatGroup"));
    group->setGeometry(17, 8, 290, 41);
    bmp_ = new QRadioButton(QStringLiteral("BMP"), group);
    bmp_->setObjectName(QStringLiteral("LosslessFormatBmp"));
    bmp_->setGeometry(8, 18, 90, 17);
    bmp_->setChecked(true);
    png_ = new QRadioButton(QStringLiteral("PNG"), group);
    png_->setObjectName(QStringLiteral("LosslessFormatPng"));
    png_->setGeometry(104, 18, 90, 17);
    webp_ = new QRadioButton(QStringLiteral("WebP"), group);
    webp_->setObjectName(QStringLiteral("LosslessFormatWebp"));
    webp_->setGeometry(194, 18, 90, 17);
    pages.addTab(page, tr("形式"));
}

void LosslessFormatPage::load(const Settings& settings) {
    const SaveFormat saved = losslessFormatSaved(settings.readInteger("Save", "png", 0));
    (saved == SaveFormat::Webp ? webp_ : saved == SaveFormat::Png ? png_ : bmp_)->setChecked(true);
}

SaveFormat LosslessFormatPage::format() const {
    return webp_->isChecked()  ? SaveFormat::Webp
           : png_->isChecked() ? SaveFormat::Png
                               : SaveFormat::Bmp;
}

}  // namespace kvr
