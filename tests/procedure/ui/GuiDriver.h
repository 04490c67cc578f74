#pragma once

// Plain Qt event delivery for GUI tests: mouse clicks, double clicks and key
// presses sent straight to the widget, as the window system would, without
// depending on the QtTest library.

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

#include <ostream>

// Readable texts in test failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace GuiDriver {

inline void sendMouse(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    const QPointF local(pos);
    QMouseEvent e(type, local, w->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline QPoint centreOf(QWidget *w)
{
    return w->rect().center();
}

inline void click(QWidget *w, QPoint pos = QPoint(-1, -1))
{
    if (pos == QPoint(-1, -1))
        pos = centreOf(w);
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

inline void doubleClick(QWidget *w, QPoint pos)
{
    // The sequence the window system delivers: press, release, double click, release.
    sendMouse(w, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    sendMouse(w, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

inline void key(QWidget *w, int key, const QString &text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(w, &release);
}

// Types text character by character, as a keyboard would.
inline void type(QWidget *w, const QString &text)
{
    for (QChar c : text) {
        int k = c.toUpper().unicode();
        key(w, k, QString(c));
    }
}

// Empties an edit with the keyboard: select all, then Backspace.
inline void clearEdit(QLineEdit *e)
{
    e->selectAll();
    key(e, Qt::Key_Backspace);
}

// Replaces an edit's text through the keyboard.
inline void retype(QLineEdit *e, const QString &text)
{
    clearEdit(e);
    type(e, text);
}

// Picks a combo entry as the operator does from the drop-down: the entry is
// selected, then activated (the program's own selections are not activated).
inline bool choose(QComboBox *box, const QString &text)
{
    int i = -1;
    for (int k = 0; k < box->count() && i < 0; ++k)
        if (box->itemText(k) == text)
            i = k;
    if (i < 0 || !box->isEnabled())
        return false;
    box->setCurrentIndex(i);
    emit box->activated(i);
    return true;
}

inline QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

inline QPoint cellCentre(QAbstractItemView *view, int row, int column)
{
    return view->visualRect(view->model()->index(row, column)).center();
}

inline void clickRow(QAbstractItemView *view, int row, int column = 1)
{
    click(view->viewport(), cellCentre(view, row, column));
}

inline void doubleClickRow(QAbstractItemView *view, int row, int column = 1)
{
    doubleClick(view->viewport(), cellCentre(view, row, column));
}

} // namespace GuiDriver
