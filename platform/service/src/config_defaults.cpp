#include "config_defaults.h"

namespace korvad {

namespace {

// The settings table of the control panel, in its order, then the few other
// settings the suite reads. Booleans are "1" or "0"; times are seconds since
// 1970 (0: never).
const std::vector<ConfigDefault> kDefaults = {
    {"korva.applications.tavrel.system.options", "enable_realtime_protection", "1"},
    {"korva.applications.tavrel.siteguard.settings", "enabled", "1"},
    {"korva.applications.tavrel.system.options", "auto_update", "1"},
    {"korva.applications.tavrel.system.options", "auto_update_time_minute", "0"},
    {"korva.applications.tavrel.system.options", "auto_update_time_hour", "12"},
    {"korva.applications.tavrel.system.options", "auto_update_bin", "1"},
    {"korva.applications.tavrel.system.options", "auto_update_bin_time_minute", "30"},
    {"korva.applications.tavrel.system.options", "auto_update_bin_time_hour", "12"},
    {"korva.applications.tavrel.system.options", "notify_on_update", "1"},
    {"korva.applications.tavrel.system.options", "update_before_scan", "1"},
    {"korva.applications.tavrel.system.options", "last_update_time", "0"},
    {"korva.applications.tavrel.system.options", "last_scan_time", "0"},
    {"korva.applications.tavrel.system.options", "last_scan_type", ""},
    {"korva.applications.tavrel.system.options", "definition_version_status", "1"},
    {"korva.applications.tavrel.system.options", "product_version_status", "1"},
    {"korva.applications.tavrel.system.options", "partial_folders", ""},
    {"korva.applications.tavrel.system.options", "full_folders", ""},
    {"korva.applications.tavrel.system.options", "custom_scan_options", ""},
    {"korva.applications.tavrel.system.options", "user_can_allow", "1"},
    {"korva.applications.tavrel.system.options", "scan_on_battery_power", "0"},
    {"korva.applications.tavrel.system.options", "schedule_scan_count", "0"},
    {"korva.applications.tavrel.system.options", "scan_priority", "normal"},
    {"korva.applications.tavrel.system.options", "scan_archives", "1"},
    {"korva.applications.tavrel.system.options", "repair_archives", "0"},
    {"korva.applications.tavrel.system.options", "allow_net_send_popups", "0"},
    {"korva.applications.tavrel.system.options", "immediate_quarantine", "0"},
    {"korva.applications.tavrel.system.options", "alert_on_detect", "1"},
    {"korva.applications.tavrel.system.options", "enable_auto_purge", "0"},
    {"korva.applications.tavrel.system.options", "purge_frequency_days", "30"},
    {"korva.applications.tavrel.external", "disable_virus", "0"},
    {"korva.applications.tavrel.external", "show_scan_nag", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_b1c439da_9563_4dfc_9909_6b19abbc0852", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_2e0946c8_db40_487a_91ee_5a8aa10401cf", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_8050f66b_3b27_4af8_9065_a3470e08e7d7", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_1949ddc4_5e30_49d9_8cc4_6fbb582d3d0f", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_fc0be8b4_747f_4015_b202_ccc0984b917c", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_36d3557f_b951_49c8_bfc1_1c58ad3be625", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_6630738a_917a_4928_b36b_43f79e13afab", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_3207d652_5cce_4289_90ee_2fa539c22501", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_daf42075_638f_4ea8_b54d_7c3454e20ba0", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_4692f8ff_0c3a_41ab_a6bf_f21a5da3dd23", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_1cf20eea_1cea_4478_942f_fc84516d5d38", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_98b2167f_6d5d_45bb_a288_3b100da9c5de", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_b0f31702_6a7b_41bb_bbcb_36f0cdd7e70f", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_739c2c48_2fcc_4690_b9c8_54810401941d", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_5432d7bb_058a_4e54_a127_8e3b5be09523", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_d25484e5_5904_467a_b369_67914f5d9f15", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_568d3e7e_7f9b_4da2_935e_5c73f604b85f", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_d2317c85_ee0d_4f7a_877f_00bd13aed843", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_b76f723b_f658_456d_a6b3_38e4a30fe53e", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_4e4832c4_9bb4_4a76_87ac_9f4185c033e9", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_e81de7f3_b129_45f1_b5f7_6101d9a3c98e", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_743f4d77_cf9c_4083_a318_0e3fa41f2f06", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_ebcebf7a_e011_4f97_9558_0cec553a05d5", "1"},
    {"korva.applications.tavrel.system.options.enforcers", "ES_74eb1f9e_e4be_4b3c_8159_a33e2947b85b", "1"},
    {"korva.applications.tavrel.system.options", "enable_virus_protection", "1"},
    {"korva.applications.companion.history_log_viewer.options", "sort_columnid", "0"},
    {"korva.applications.companion.history_log_viewer.options", "sort_order", "0"},
    {"korva.applications.tavrel.system.options", "show_infections_on_startup", "1"},
    {"korva.applications.tavrel.system.options", "disable_javascript_debugging", "1"},
    {"korva.applications.tavrel.system.options", "enable_javascript_error_dialogs", "0"},
    {"korva.applications.tavrel.system.options", "enable_blocking", "1"},
    {"korva.applications.tavrel.system.options", "show_tray_icon", "1"},
    {"korva.applications.tavrel.system.options", "enable_alarm", "1"},
    {"korva.applications.tavrel.system.options", "home_page", ""},
    {"korva.applications.tavrel.system.options", "lock_home_page", "0"},
    {"korva.applications.tavrel.system.options", "silent_hpp_mode", "0"},
    {"korva.applications.tavrel.blacklist.counter", "start_date", ""},
    // Read by other components.
    {"korva.applications.tavrel.external", "use_infection_skin", "0"},
    {"korva.applications.tavrel.external", "no_homepage_protect", "0"},
    {"korva.applications.tavrel.system.options", "homepage_required", "0"},
    {"korva.applications.tavrel.system.options", "show_browser_alerts", "1"},
};

}  // namespace

const std::vector<ConfigDefault>& ConfigDefaults() { return kDefaults; }

std::optional<std::string> DefaultValue(std::string_view section, std::string_view key)
{
    for (const ConfigDefault& d : kDefaults)
        if (section == d.section && key == d.key)
            return std::string(d.value);
    return std::nullopt;
}

}  // namespace korvad
