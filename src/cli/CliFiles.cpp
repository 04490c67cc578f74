#include "cli/CliCommands.h"
#include "cli/CliJson.h"

#include "document/ArchiveError.h"
#include "document/DocumentLayouts.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cstdio>

namespace {

bool isJsonName(const QString &path)
{
    return path.endsWith(QLatin1String(".json"));
}

} // namespace

int cliShow(const QStringList &args)
{
    CliArgs a(args, {});
    a.allowOnly({QStringLiteral("procedure")});
    if (a.positional.size() != 1)
        throw CliError(ExitUsage, QStringLiteral("show needs one file: qel-cli show FILE [--procedure PRO]"));
    DocumentData data;
    const DocumentNames::FileType type = readDocumentFile(a.positional[0], data, DocumentLayouts::PastCount::Keep);
    DocumentData procedure;
    const bool withProcedure = a.has(QStringLiteral("procedure"));
    if (withProcedure) {
        const QString pro = a.value(QStringLiteral("procedure"));
        if (readDocumentFile(pro, procedure) != DocumentNames::FileType::Procedure)
            throw CliError(ExitUsage, QStringLiteral("%1 is not a procedure file.").arg(pro));
    }
    const QByteArray out
        = QJsonDocument(CliJson::toJson(type, data, withProcedure ? &procedure : nullptr)).toJson(QJsonDocument::Indented);
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return ExitOk;
}

int cliConvert(const QStringList &args)
{
    CliArgs a(args, {});
    a.allowOnly({});
    if (a.positional.size() != 2)
        throw CliError(ExitUsage, QStringLiteral("convert needs two files: qel-cli convert IN OUT"));
    const QString in = a.positional[0];
    const QString out = a.positional[1];
    if (isJsonName(in) == isJsonName(out))
        throw CliError(ExitUsage,
            QStringLiteral("convert turns a .json file into a .pro, .rpt or .pic file, or back; %1 and %2 are not such a pair.")
                .arg(in, out));
    if (!isJsonName(in)) {
        DocumentData data;
        const DocumentNames::FileType type = readDocumentFile(in, data, DocumentLayouts::PastCount::Keep);
        writeFileAtomically(out, QJsonDocument(CliJson::toJson(type, data)).toJson(QJsonDocument::Indented));
        return ExitOk;
    }
    QFile f(in);
    if (!f.open(QIODevice::ReadOnly))
        throw CliError(ExitUsage, QStringLiteral("Cannot read %1: %2.").arg(in, f.errorString()));
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &perr);
    if (doc.isNull() || !doc.isObject())
        throw CliError(ExitUsage, QStringLiteral("%1 is not a JSON object: %2.").arg(in, perr.errorString()));
    DocumentData data;
    DocumentNames::FileType type;
    try {
        type = CliJson::fromJson(doc.object(), data);
    } catch (const std::runtime_error &e) {
        throw CliError(ExitUsage, QStringLiteral("%1: %2.").arg(in, QString::fromUtf8(e.what())));
    }
    const DocumentNames::FileType outType = DocumentNames::fileType(DocumentNames::fileName(out));
    if (outType != type)
        throw CliError(ExitUsage, QStringLiteral("%1 holds a %2, but %3 is not named as one.")
                                      .arg(in, doc.object().value(QStringLiteral("type")).toString(), out));
    // Written only when Qel's own reader takes it back: a count the JSON
    // got wrong (negative, past the rows) would make a file nothing opens.
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    QString error;
    checkOutputPath(out);
    if (!DocumentLayouts::write(type, data, &bytes, &error))
        throw CliError(ExitUsage, cannotWrite(out, error));
    try {
        DocumentData back;
        DocumentLayouts::read(type, bytes.data(), back);
    } catch (const ArchiveError &e) {
        throw CliError(ExitUsage, QStringLiteral("%1 is damaged: %2.").arg(out, e.describe()));
    }
    writeFileAtomically(out, bytes.data());
    return ExitOk;
}
