#pragma once

#include <string>

namespace Quorvex::VarnelNet::Web {

// What the page's menus and settings are built from, as JSON, taken from the library's own
// tables so that the page lists exactly what the language takes:
//   kinds     [{word, form, example, summary}]        the request kinds' syntax
//   settings  [{option, name, kind, words, default, unit, description}]  with the tool's defaults
//   plans     [{country, name, tones: [{tone, pattern}]}]   the tone plans by country
//   sits      [{code, meaning}]
//   modems    [{word, name, ms}]                      modem:KIND and its usual duration
//   rtp       [{option, value, words, help}]          the option registry's RTP session rows
//                                                     (value: the placeholder, "" for a flag)
//   line      [{option, value, words, help}]          a receiver test's: the impairments' rows,
//                                                     mix and mix-dbm0
std::string CatalogJson();

}  // namespace Quorvex::VarnelNet::Web
