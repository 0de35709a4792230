#pragma once

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>

// A label that carries its control name.
inline QLabel *namedLabel(const char *name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromUtf8(name));
    return label;
}

// A label used as a link or a button acts on the release of the left button.
inline bool isLeftRelease(QEvent *event)
{
    return event->type() == QEvent::MouseButtonRelease &&
           static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
}
