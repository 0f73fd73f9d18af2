#pragma once

#include <QCoreApplication>

class ProtocolManager;
class QLabel;

// The caption of a record's bandwidth and sample-rate lines in the record details, shown only
// for the values the instrument reports; the playback and record-manager pages share it.
class RecordValueCaption
{
    Q_DECLARE_TR_FUNCTIONS(RecordValueCaption)
public:
    static void apply(const ProtocolManager* protocol, QLabel* caption, QLabel* values);
    // The values' mark while no record is shown: one "--" per caption line, so that no caption
    // stands beside a blank.
    static QString noValues(const ProtocolManager* protocol);
};
