#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QRadioButton;

// Options of the graph print: direction and description. The description is
// kept between uses (only "Print" stores it); the direction starts at
// "Vertical" every time the dialog opens.
class PrintGraphDialog : public QDialog
{
    Q_OBJECT
public:
    enum Orientation { Vertical = 0, Level = 1 };

    explicit PrintGraphDialog(QWidget *parent = nullptr);

    const QString &description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }
    int orientation() const { return m_orientation; }
    bool landscape() const { return m_orientation == Level; }

    QRadioButton *verticalButton() const { return m_vertical; }
    QRadioButton *levelButton() const { return m_level; }
    QLabel *uprightPicture() const { return m_uprightPicture; }
    QLabel *sidewaysPicture() const { return m_sidewaysPicture; }
    QPlainTextEdit *descriptionEdit() const { return m_edit; }

    void setVisible(bool visible) override;
    void accept() override;

private:
    void chooseVertical();
    void chooseLevel();

    QLabel *m_uprightPicture = nullptr;
    QLabel *m_sidewaysPicture = nullptr;
    QString m_description;
    int m_orientation = Vertical;

    QRadioButton *m_vertical = nullptr;
    QRadioButton *m_level = nullptr;
    QPlainTextEdit *m_edit = nullptr;
};
