// The site layer's meters, models, library calls and JSON reader under the tool's own
// namespace: the commands use them as if they were the tool's.
#pragma once

#include "collect_report.h"
#include "json_value.h"
#include "document_call.h"
#include "meter_session.h"
#include "model_choice.h"
#include "models.h"
#include "site_file.h"

namespace tandrel_cli {

using tandrel_site::CallResult;
using tandrel_site::DocumentCall;
using tandrel_site::ErrorBuffer;
using tandrel_site::fetch_document;
using tandrel_site::MeterDocumentCall;
using tandrel_site::needed_size;

using tandrel_site::choose_model;
using tandrel_site::MeterSession;
using tandrel_site::model_id_of;
using tandrel_site::SessionDocumentCall;

using tandrel_site::JsonValue;
using tandrel_site::json_string;
using tandrel_site::parse_json;

using tandrel_site::known_model;
using tandrel_site::model_for_id;
using tandrel_site::model_names;
using tandrel_site::model_names_text;
using tandrel_site::read_alike;

using tandrel_site::folder_state_name;
using tandrel_site::status_name;
using tandrel_site::stored_text;

using tandrel_site::meter_dir_name;
using tandrel_site::meter_endpoint;
using tandrel_site::parse_site_file;
using tandrel_site::read_site_file;
using tandrel_site::SiteError;
using tandrel_site::SiteFile;
using tandrel_site::SiteMeter;

}  // namespace tandrel_cli
