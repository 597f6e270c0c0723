// Everything a program needs to talk to the service.
#pragma once

#include "servicelink/korva_client.h"
#include "servicelink/korva_config.h"
#include "servicelink/korva_constants.h"
#include "servicelink/korva_utilities.h"
#include "servicelink/msg_cursor.h"
#include "servicelink/msg_dispatcher.h"
#include "servicelink/msg_provider.h"
#include "servicelink/msg_request.h"
#include "servicelink/msg_results.h"
#include "servicelink/msg_row_set.h"
#include "servicelink/string_factory.h"
#include "servicelink/string_value.h"
#include "servicelink/value_accessor.h"
