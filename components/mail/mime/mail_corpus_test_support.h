#pragma once

// The table of mails and what reading each gives, shared by the ordinary
// corpus and the hostile one.
#include "mime_test_support.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

namespace orvane::mail::test {

struct Attachment {
    const char* fileName;  // expected name inside the mail folder
    QByteArray content;
};

struct CorpusRow {
    const char* name;
    QByteArray mail;
    const char* subject;
    const char* from;  // the sender's name is its display name, else the address
    const char* body;
    std::vector<Attachment> attachments;
};

inline CorpusRow row(const char* name, const char* subject, const char* from, const char* body,
                     QByteArray mail, std::vector<Attachment> attachments = {}) {
    return {name, std::move(mail), subject, from, body, std::move(attachments)};
}

// Reads the row's mail from the mail folder and compares every field exactly.
class MailCorpus : public testing::TestWithParam<CorpusRow> {
  protected:
    QTemporaryDir dir;
};

}  // namespace orvane::mail::test
