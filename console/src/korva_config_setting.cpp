#include "korva_config_setting.h"

#include <map>
#include <mutex>

namespace {
const char* const kSectionSystem = "korva.applications.tavrel.system.options";
const char* const kSectionSiteGuard = "korva.applications.tavrel.siteguard.settings";
const char* const kSectionExternal = "korva.applications.tavrel.external";
const char* const kSectionEnforcers = "korva.applications.tavrel.system.options.enforcers";
const char* const kSectionHistory = "korva.applications.companion.history_log_viewer.options";
const char* const kSectionBlacklistCounter = "korva.applications.tavrel.blacklist.counter";
}  // namespace

const ConfigSettingRow g_ConfigSettings[KCS_COUNT + 1] = {
    {kSectionSystem, "enable_realtime_protection", 1, false},
    {kSectionSiteGuard, "enabled", 1, false},
    {kSectionSystem, "auto_update", 2, false},
    {kSectionSystem, "auto_update_time_minute", 2, false},
    {kSectionSystem, "auto_update_time_hour", 2, false},
    {kSectionSystem, "auto_update_bin", 2, false},
    {kSectionSystem, "auto_update_bin_time_minute", 2, false},
    {kSectionSystem, "auto_update_bin_time_hour", 2, false},
    {kSectionSystem, "notify_on_update", 1, false},
    {kSectionSystem, "update_before_scan", 1, false},
    {kSectionSystem, "last_update_time", 3, false},
    {kSectionSystem, "last_scan_time", 3, false},
    {kSectionSystem, "last_scan_type", 0, false},
    {kSectionSystem, "definition_version_status", 1, false},
    {kSectionSystem, "product_version_status", 1, false},
    {kSectionSystem, "partial_folders", 0, false},
    {kSectionSystem, "full_folders", 0, false},
    {kSectionSystem, "custom_scan_options", 0, false},
    {kSectionSystem, "user_can_allow", 1, false},
    {kSectionSystem, "scan_on_battery_power", 1, false},
    {kSectionSystem, "schedule_scan_count", 2, false},
    {kSectionSystem, "scan_priority", 0, false},
    {kSectionSystem, "scan_archives", 1, false},
    {kSectionSystem, "repair_archives", 1, false},
    {kSectionSystem, "allow_net_send_popups", 1, false},
    {kSectionSystem, "immediate_quarantine", 1, false},
    {kSectionSystem, "alert_on_detect", 1, false},
    {kSectionSystem, "enable_auto_purge", 1, false},
    {kSectionSystem, "purge_frequency_days", 2, false},
    {kSectionExternal, "disable_virus", 1, false},
    {kSectionExternal, "show_scan_nag", 1, false},
    {kSectionEnforcers, "ES_b1c439da_9563_4dfc_9909_6b19abbc0852", 1, false},
    {kSectionEnforcers, "ES_2e0946c8_db40_487a_91ee_5a8aa10401cf", 1, false},
    {kSectionEnforcers, "ES_8050f66b_3b27_4af8_9065_a3470e08e7d7", 1, false},
    {kSectionEnforcers, "ES_1949ddc4_5e30_49d9_8cc4_6fbb582d3d0f", 1, false},
    {kSectionEnforcers, "ES_fc0be8b4_747f_4015_b202_ccc0984b917c", 1, false},
    {kSectionEnforcers, "ES_36d3557f_b951_49c8_bfc1_1c58ad3be625", 1, false},
    {kSectionEnforcers, "ES_6630738a_917a_4928_b36b_43f79e13afab", 1, false},
    {kSectionEnforcers, "ES_3207d652_5cce_4289_90ee_2fa539c22501", 1, false},
    {kSectionEnforcers, "ES_daf42075_638f_4ea8_b54d_7c3454e20ba0", 1, false},
    {kSectionEnforcers, "ES_4692f8ff_0c3a_41ab_a6bf_f21a5da3dd23", 1, false},
    {kSectionEnforcers, "ES_1cf20eea_1cea_4478_942f_fc84516d5d38", 1, false},
    {kSectionEnforcers, "ES_98b2167f_6d5d_45bb_a288_3b100da9c5de", 1, false},
    {kSectionEnforcers, "ES_b0f31702_6a7b_41bb_bbcb_36f0cdd7e70f", 1, false},
    {kSectionEnforcers, "ES_739c2c48_2fcc_4690_b9c8_54810401941d", 1, false},
    {kSectionEnforcers, "ES_5432d7bb_058a_4e54_a127_8e3b5be09523", 1, false},
    {kSectionEnforcers, "ES_d25484e5_5904_467a_b369_67914f5d9f15", 1, false},
    {kSectionEnforcers, "ES_568d3e7e_7f9b_4da2_935e_5c73f604b85f", 1, false},
    {kSectionEnforcers, "ES_d2317c85_ee0d_4f7a_877f_00bd13aed843", 1, false},
    {kSectionEnforcers, "ES_b76f723b_f658_456d_a6b3_38e4a30fe53e", 1, false},
    {kSectionEnforcers, "ES_4e4832c4_9bb4_4a76_87ac_9f4185c033e9", 1, false},
    {kSectionEnforcers, "ES_e81de7f3_b129_45f1_b5f7_6101d9a3c98e", 1, false},
    {kSectionEnforcers, "ES_743f4d77_cf9c_4083_a318_0e3fa41f2f06", 1, false},
    {kSectionEnforcers, "ES_ebcebf7a_e011_4f97_9558_0cec553a05d5", 1, false},
    {kSectionEnforcers, "ES_74eb1f9e_e4be_4b3c_8159_a33e2947b85b", 1, false},
    {kSectionSystem, "enable_virus_protection", 1, false},
    {kSectionHistory, "sort_columnid", 2, true},
    {kSectionHistory, "sort_order", 2, true},
    {kSectionSystem, "show_infections_on_startup", 1, true},
    {kSectionSystem, "disable_javascript_debugging", 1, true},
    {kSectionSystem, "enable_javascript_error_dialogs", 1, true},
    {kSectionSystem, "enable_blocking", 1, true},
    {kSectionSystem, "show_tray_icon", 1, true},
    {kSectionSystem, "enable_alarm", 1, true},
    {kSectionSystem, "home_page", 0, true},
    {kSectionSystem, "lock_home_page", 1, true},
    {kSectionSystem, "silent_hpp_mode", 1, true},
    {kSectionBlacklistCounter, "start_date", 0, true},
    {nullptr, nullptr, 0, false},
};

std::string ConfigSettingFullName(int setting)
{
    if (setting < 0 || setting >= KCS_COUNT)
        return {};
    return std::string(g_ConfigSettings[setting].section) + "." + g_ConfigSettings[setting].key;
}

struct CConfigSettingMap::Impl {
    mutable std::mutex mutex;
    std::map<std::string, int, std::less<>> names;
};

CConfigSettingMap::CConfigSettingMap() : m_impl(new Impl) {}

CConfigSettingMap& CConfigSettingMap::Instance()
{
    static CConfigSettingMap* map = new CConfigSettingMap();
    return *map;
}

int CConfigSettingMap::Build()
{
    std::lock_guard lock(m_impl->mutex);
    m_impl->names.clear();
    int count = 0;
    for (; g_ConfigSettings[count].key != nullptr; ++count)
        m_impl->names[ConfigSettingFullName(count)] = count;
    m_count = count;
    return count;
}

int CConfigSettingMap::Lookup(std::string_view fullName) const
{
    std::lock_guard lock(m_impl->mutex);
    const auto it = m_impl->names.find(fullName);
    if (it == m_impl->names.end() || it->second >= m_count)
        return KCS_COUNT;
    return it->second;
}
