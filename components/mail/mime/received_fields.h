#pragma once

#include <QString>
#include <QStringList>

namespace orvane::mail {

// The fields that receiving stores from one ReadMail answer given the list
// "subject:from:date:body".
struct ReceivedFields {
    QString subject;  // the decoded subject
    QString from;     // " display name <address>": one leading blank kept
    QString date;     // element 2 as it stands ("Date: ...")
    QString body;     // the decoded body, unchanged
    QString attach;   // full path of the first attachment, or ""
};

// Takes the fields out of the elements:
//  - subject: element 0 from the ninth character after the first "subject"
//    (exact case), or from its ninth character when there is none;
//  - from: element 1 from the fifth character after the first "From:" (the
//    blank after the colon stays), or element 1 whole when there is none;
//  - date: element 2;
//  - body: element 4 after the first "Body:" (whole when there is none);
//  - attach: element 5 after the first "File: " (from its seventh character
//    when there is none), "" without element 5.
// Missing elements give empty fields. readMailFile's elements make these the
// exact decoded values. The body is returned as read; any clean-up for
// storage or speech is the caller's.
ReceivedFields parseReadMailElements(const QStringList& elements);

}  // namespace orvane::mail
