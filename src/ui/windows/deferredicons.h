#pragma once

#include <QProxyStyle>

// The desktop's own style, except that the toolbar's overflow arrow is read from its picture
// only when it is first drawn. Reading it at once makes the image reader load every image-format
// plugin before the main window can show, and the arrow is hardly ever needed.
class DeferredIconsStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
