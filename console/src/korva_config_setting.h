// The control panel's settings table: every setting it knows, addressed by
// its row number, with its section, key, value type and source.
#pragma once

#include <string>
#include <string_view>

// Row numbers of the settings table.
enum KorvaConfigSetting : int {
    KCS_enable_realtime_protection = 0,
    KCS_enabled = 1,
    KCS_auto_update = 2,
    KCS_auto_update_time_minute = 3,
    KCS_auto_update_time_hour = 4,
    KCS_auto_update_bin = 5,
    KCS_auto_update_bin_time_minute = 6,
    KCS_auto_update_bin_time_hour = 7,
    KCS_notify_on_update = 8,
    KCS_update_before_scan = 9,
    KCS_last_update_time = 10,
    KCS_last_scan_time = 11,
    KCS_last_scan_type = 12,
    KCS_definition_version_status = 13,
    KCS_product_version_status = 14,
    KCS_partial_folders = 15,
    KCS_full_folders = 16,
    KCS_custom_scan_options = 17,
    KCS_user_can_allow = 18,
    KCS_scan_on_battery_power = 19,
    KCS_schedule_scan_count = 20,
    KCS_scan_priority = 21,
    KCS_scan_archives = 22,
    KCS_repair_archives = 23,
    KCS_allow_net_send_popups = 24,
    KCS_immediate_quarantine = 25,
    KCS_alert_on_detect = 26,
    KCS_enable_auto_purge = 27,
    KCS_purge_frequency_days = 28,
    KCS_disable_virus = 29,
    KCS_show_scan_nag = 30,
    KCS_ES_b1c439da_9563_4dfc_9909_6b19abbc0852 = 31,
    KCS_ES_2e0946c8_db40_487a_91ee_5a8aa10401cf = 32,
    KCS_ES_8050f66b_3b27_4af8_9065_a3470e08e7d7 = 33,
    KCS_ES_1949ddc4_5e30_49d9_8cc4_6fbb582d3d0f = 34,
    KCS_ES_fc0be8b4_747f_4015_b202_ccc0984b917c = 35,
    KCS_ES_36d3557f_b951_49c8_bfc1_1c58ad3be625 = 36,
    KCS_ES_6630738a_917a_4928_b36b_43f79e13afab = 37,
    KCS_ES_3207d652_5cce_4289_90ee_2fa539c22501 = 38,
    KCS_ES_daf42075_638f_4ea8_b54d_7c3454e20ba0 = 39,
    KCS_ES_4692f8ff_0c3a_41ab_a6bf_f21a5da3dd23 = 40,
    KCS_ES_1cf20eea_1cea_4478_942f_fc84516d5d38 = 41,
    KCS_ES_98b2167f_6d5d_45bb_a288_3b100da9c5de = 42,
    KCS_ES_b0f31702_6a7b_41bb_bbcb_36f0cdd7e70f = 43,
    KCS_ES_739c2c48_2fcc_4690_b9c8_54810401941d = 44,
    KCS_ES_5432d7bb_058a_4e54_a127_8e3b5be09523 = 45,
    KCS_ES_d25484e5_5904_467a_b369_67914f5d9f15 = 46,
    KCS_ES_568d3e7e_7f9b_4da2_935e_5c73f604b85f = 47,
    KCS_ES_d2317c85_ee0d_4f7a_877f_00bd13aed843 = 48,
    KCS_ES_b76f723b_f658_456d_a6b3_38e4a30fe53e = 49,
    KCS_ES_4e4832c4_9bb4_4a76_87ac_9f4185c033e9 = 50,
    KCS_ES_e81de7f3_b129_45f1_b5f7_6101d9a3c98e = 51,
    KCS_ES_743f4d77_cf9c_4083_a318_0e3fa41f2f06 = 52,
    KCS_ES_ebcebf7a_e011_4f97_9558_0cec553a05d5 = 53,
    KCS_ES_74eb1f9e_e4be_4b3c_8159_a33e2947b85b = 54,
    KCS_enable_virus_protection = 55,
    KCS_sort_columnid = 56,
    KCS_sort_order = 57,
    KCS_show_infections_on_startup = 58,
    KCS_disable_javascript_debugging = 59,
    KCS_enable_javascript_error_dialogs = 60,
    KCS_enable_blocking = 61,
    KCS_show_tray_icon = 62,
    KCS_enable_alarm = 63,
    KCS_home_page = 64,
    KCS_lock_home_page = 65,
    KCS_silent_hpp_mode = 66,
    KCS_start_date = 67,
    KCS_COUNT = 68,  // also "no setting"
};

// Value types of the table.
enum ConfigValueType : int {
    kConfigText = 0,
    kConfigBool = 1,   // stored as "1" or "0"
    kConfigInteger = 2,
    kConfigTime = 3,   // 64-bit, read through the signed 64-bit conversion
    kConfigInteger64 = 4,
};

struct ConfigSettingRow {
    const char* section;
    const char* key;  // null ends the table
    int type;
    bool user;        // per-user setting (source "user"), else "system"
};

// The table, ended by a row without a key.
extern const ConfigSettingRow g_ConfigSettings[KCS_COUNT + 1];

// Section + "." + key.
std::string ConfigSettingFullName(int setting);

// The map from full names to row numbers, built once at connect and only read
// afterwards (also from the bus thread).
class CConfigSettingMap {
public:
    static CConfigSettingMap& Instance();
    // Walks the table to the first row without a key; returns the count.
    int Build();
    // The number of FULL_NAME (exact, case-sensitive), or KCS_COUNT.
    int Lookup(std::string_view fullName) const;
    int Count() const { return m_count; }

private:
    struct Impl;
    CConfigSettingMap();
    Impl* m_impl;
    int m_count = 0;
};
