#pragma once

#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads a PDF back with poppler's command-line tools.
namespace PdfText {

struct Word
{
    QString text;
    // Millimetres from the page's top-left corner.
    double left, top, right, bottom;
    double centreX() const { return (left + right) / 2; }
};

struct Page
{
    double widthMm = 0, heightMm = 0;
    QVector<Word> words;
    QVector<Word> find(const QString &text) const
    {
        QVector<Word> out;
        for (const Word &w : words)
            if (w.text == text)
                out.append(w);
        return out;
    }
    QStringList texts() const
    {
        QStringList out;
        for (const Word &w : words)
            out << w.text;
        return out;
    }
};

inline QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Plain text of the pages first..last (1-based; 0 = all).
inline QString text(const QString &pdf, int first = 0, int last = 0)
{
    QStringList args{"-layout"};
    if (first > 0)
        args << "-f" << QString::number(first);
    if (last > 0)
        args << "-l" << QString::number(last);
    return run("pdftotext", args << pdf << "-");
}

inline int pageCount(const QString &pdf)
{
    const QRegularExpressionMatch m = QRegularExpression("Pages:\\s+(\\d+)").match(run("pdfinfo", {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Every page with its words and their boxes.
inline QVector<Page> pages(const QString &pdf)
{
    const QString html = run("pdftotext", {"-bbox", pdf, "-"});
    const double mm = 25.4 / 72.0;
    QVector<Page> out;
    static const QRegularExpression pageRe("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\">");
    static const QRegularExpression wordRe(
            "<word xMin=\"([\\d.-]+)\" yMin=\"([\\d.-]+)\" xMax=\"([\\d.-]+)\" yMax=\"([\\d.-]+)\">([^<]*)</word>");
    const QStringList chunks = html.split("</page>");
    for (const QString &chunk : chunks) {
        const QRegularExpressionMatch pm = pageRe.match(chunk);
        if (!pm.hasMatch())
            continue;
        Page page;
        page.widthMm = pm.captured(1).toDouble() * mm;
        page.heightMm = pm.captured(2).toDouble() * mm;
        auto it = wordRe.globalMatch(chunk);
        while (it.hasNext()) {
            const QRegularExpressionMatch w = it.next();
            QString t = w.captured(5);
            t.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"");
            page.words.append({t, w.captured(1).toDouble() * mm, w.captured(2).toDouble() * mm,
                               w.captured(3).toDouble() * mm, w.captured(4).toDouble() * mm});
        }
        out.append(page);
    }
    return out;
}

} // namespace PdfText
