#include "varnel/script/HeardCallerIdLabels.h"

#include <cstdio>
#include <string>

namespace Quorvex::VarnelNet::Script {

namespace {

std::string Decibels(double dbm0) {
    char text[24];
    std::snprintf(text, sizeof text, "%.1f", dbm0);
    return text;
}

}  // namespace

Label HeardCallerIdLabel(const Detect::HeardCallerId& message) {
    Label label;
    label.kind = "cid";
    label.symbol = SymbolKind::Message;
    label.first = message.first;
    label.end = message.last + 1;
    label.text = std::string(message.layout);
    for (const CallerIdField& field : message.fields) label.fields.emplace_back(field.name, field.value);
    label.fields.emplace_back("standard", Detect::StandardWord(message.standard));
    if (message.alertSeen) label.fields.emplace_back("alert", "DT-AS");
    if (message.check != Detect::CallerIdCheck::None) label.fields.emplace_back("checksum", message.check == Detect::CallerIdCheck::Good ? "ok" : "bad");
    label.fields.emplace_back("level_dbm0", Decibels(message.dbm0));
    return label;
}

Label HeardAlertLabel(const Detect::AlertEvent& alert) {
    Label label;
    label.kind = "cid";
    label.symbol = SymbolKind::Tone;
    label.first = alert.first;
    label.end = alert.last + 1;
    label.hz = {2130.0, 2750.0};
    label.fields = {{"low_dbm0", Decibels(alert.lowDbm0)}, {"high_dbm0", Decibels(alert.highDbm0)}};
    return label;
}

}  // namespace Quorvex::VarnelNet::Script
