#pragma once
// Procedure files: the reader, the rebuild of the procedure list and the
// result columns, and the save that follows.

#include "FuzzSupport.h"

#include "document/PageTransfer.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"


inline void checkProcedureFile(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::view(data, size);
    DocumentData doc;
    if (!FuzzSupport::readChecked(DocumentNames::FileType::Procedure, bytes, doc))
        return;
    FUZZ_CHECK(doc.stepCount >= 0, "a step count read is never negative");
    for (const QStringList &column : doc.stepColumns)
        FUZZ_CHECK(column.size() >= doc.stepCount, "every column holds a text per step");

    ProcedureModel procedure;
    ResultTableModel results;
    PageTransfer::rebuild(doc, procedure, results, nullptr);
    FUZZ_CHECK(procedure.stepCount() == doc.stepCount, "one list row per step");
    for (int j = 0; j < procedure.stepCount(); ++j) {
        const ProcedureStep &s = procedure.step(j);
        FUZZ_CHECK(s[ProcedureStep::Step] == QString::number(j + 1), "rows are numbered from 1");
        for (int k = 0; k < DocumentData::StepColumnCount; ++k)
            FUZZ_CHECK(s.fields[size_t(k + 1)] == doc.stepColumns[size_t(k)].at(j), "cells are the file's texts");
        FUZZ_CHECK(s.picture >= 0 && s.picture < ProcedureStep::PictureCount, "a known row picture");
    }
    const int titles = 2 * (procedure.stepCount() + procedure.secondItemCount());
    FUZZ_CHECK(results.columnCount() == 1 + titles, "a value and a verdict column per item");
    for (int c = 0; c < results.columnCount(); ++c)
        (void)results.headerData(c, Qt::Horizontal);

    // Saving the rebuilt pages gives back the file's steps.
    DocumentData saved;
    PageTransfer::refresh(saved, procedure, results.snapshot(), nullptr);
    FUZZ_CHECK(saved.stepCount == doc.stepCount, "the save keeps the step count");
    for (int k = 0; k < DocumentData::StepColumnCount; ++k)
        FUZZ_CHECK(saved.stepColumns[size_t(k)] == doc.stepColumns[size_t(k)].mid(0, doc.stepCount),
            "the save keeps every text");
    FuzzSupport::checkStableRoundTrip(DocumentNames::FileType::Procedure, saved);
}
