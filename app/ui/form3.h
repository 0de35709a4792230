#pragma once

#include <QWidget>

// The registration window.
class Form3 : public QWidget
{
    Q_OBJECT
public:
    explicit Form3(QWidget *parent = nullptr);
};
