// Everything of the page host in one include.
#pragma once

#include "servicelink/html/browser_control.h"
#include "servicelink/html/browser_host_controller.h"
#include "servicelink/html/custom_control_site.h"
#include "servicelink/html/html_call_result.h"
#include "servicelink/html/html_document.h"
#include "servicelink/html/html_document_model.h"
#include "servicelink/html/html_element.h"
#include "servicelink/html/page_key.h"
#include "servicelink/html/res_scheme.h"
#include "servicelink/html/script_dispatch.h"
#include "servicelink/html/script_methods.h"
