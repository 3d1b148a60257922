// The results server the journal window records to and reads from, chosen
// beside its folder: the server, port, database, user and SSL mode a school's
// administrator gives, a check of the connection that says in Russian what
// is wrong, and how many records on this computer wait to be sent. There is
// nowhere to type a password: it is read from ~/.pgpass (or PGPASSFILE).
#pragma once

#include <QString>
#include <optional>

#include "journal.h"

class QWidget;

// Asks for the server, starting from the journal's `current` place; the
// address chosen, or nothing when the user cancels.
std::optional<QString> chooseJournalServer(QWidget* parent, const QString& current);

// Every record on the server at `target`, and, among the lines skipped, how
// many records of this computer wait to be sent and why.
qv::JournalContents readServerJournal(const QString& target);
