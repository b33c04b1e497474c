#include "shell/ActionGates.h"

#include <algorithm>

namespace {

using enum TAction;

constexpr std::array<TActionInfo, kActionCount> kTable{{
    {TAction::acBeginSeance, "acBeginSeance", "&Начать сеанс...", "F2", "Начало сеанса|Начало сеанса работы с программой", true},
    {TAction::acEndSeance, "acEndSeance", "&Завершить сеанс...", "Ctrl+F2", "Завершение сеанса", false},
    {TAction::acPrint, "acPrint", "&Печать", "", "Печать документа", false},
    {TAction::acExit, "acExit", "Вы&ход", "Alt+X", "Выход", true},
    {TAction::acUsers, "acUsers", "&Пользователи", "Ctrl+U", "Пользователи", false},
    {TAction::acUserGroups, "acUserGroups", "&Группы пользователей", "", "Группы пользователей", false},
    {TAction::acVersions, "acVersions", "&Версии", "", "Версии счетчиков", false},
    {TAction::acFiles, "acFiles", "&Файлы счетчиков", "", "Описания файлов счетчиков", false},
    {TAction::acDefaultParams, "acDefaultParams", "&Параметры по умолчанию", "", "Параметры по умолчанию", false},
    {TAction::acCounters, "acCounters", "&База данных", "Ctrl+B", "БД счетчиков", false},
    {TAction::acAddCounter, "acAddCounter", "&Добавить счетчик...", "Ctrl+Ins", "Добавление счетчика", false},
    {TAction::acEditCounter, "acEditCounter", "&Редактировать счетчик...", "Ctrl+Enter", "Редактирование счетчика", false},
    {TAction::acDeleteCounter, "acDeleteCounter", "&Удалить счетчик...", "Ctrl+Del", "Удаление счетчика", false},
    {TAction::acStat, "acStat", "&Статистика...", "Ctrl+S", "Статистика счетчика", false},
    {TAction::acPower, "acPower", "&График нагрузки...", "Ctrl+G", "График нагрузки", false},
    {TAction::acTaskCounterFile, "acTaskCounterFile", "&Файл заданий...", "Ctrl+T", "Файл заданий на сеанс с счетчиком", false},
    {TAction::acCounterRegister, "acCounterRegister", "&Журнал опроса", "", "Журнал опроса счетчиков", false},
    {TAction::acSeance, "acSeance", "&Сеанс...", "Ctrl+R", "Сеанс с счетчиком", false},
    {TAction::acGetZNumber, "acGetZNumber", "&Получить зав.номер...", "Ctrl+Z", "Получение заводского номера", false},
    {TAction::acTaskProgFile, "acTaskProgFile", "&Файл заданий...", "", "Файл заданий на сеанс с оптопортом (ЛОК)", false},
    {TAction::acProgrammers, "acProgrammers", "&База данных", "", "БД оптопортом (ЛОК)", false},
    {TAction::acProgWriteSeance, "acProgWriteSeance", "Сеанс &записи оптопорта...", "", "Сеанс записи оптопорта (ЛОК)", false},
    {TAction::acProgReadSeance, "acProgReadSeance", "Сеанс &чтения оптопорта...", "", "Сеанс чтения оптопорта (ЛОК)", false},
    {TAction::acSetup, "acSetup", "&Опции...", "Ctrl+O", "Опции и установки", false},
    {TAction::acCascade, "acCascade", "&Каскад", "", "Окна каскадом", true},
    {TAction::acTileHor, "acTileHor", "Черепица &гор.", "", "Окна черепицей горизонтально", true},
    {TAction::acTileVert, "acTileVert", "Черепица &верт.", "", "Окна черепицей вертикально", true},
    {TAction::acCloseAll, "acCloseAll", "&Закрыть все", "", "Закрыть все окна", true},
    {TAction::acHelp, "acHelp", "&Справка", "F1", "Справка", true},
    {TAction::acResetRegister, "acResetRegister", "&Очистка журналов...", "", "Очистка журналов работы пользователей", false},
    {TAction::acResetSeance, "acResetSeance", "С&брос всех сеансов", "", "Сброс всех сеансов счетчиков", false},
    {TAction::acGetPower, "acGetPower", "Чтение измерений", "", "Чтение мощности, напряжения и тока", false},
    {TAction::acGetMomentPower, "acGetMomentPower", "Чтение мгновенных измерений", "", "Чтение мгновенных мощности, напряжения и тока", false},
    {TAction::acGetOnlyPower, "acGetOnlyPower", "Чтение мощности", "", "Чтение только мощности", false},
    {TAction::acGetOnlyVoltage, "acGetOnlyVoltage", "Чтение напряжений", "", "Чтение только напряжений", false},
    {TAction::acGetOnlyCurrent, "acGetOnlyCurrent", "Чтение токов", "", "Чтение только токов", false},
    {TAction::acGetOnlyEnergy, "acGetOnlyEnergy", "Чтение энергии", "", "Чтение всей потребленной энергии", false},
    {TAction::acGetOnlyEnergy_1, "acGetOnlyEnergy_1", "Чтение энергии (c учетом времени интеграции)", "", "Чтение энергии (c учетом времени интеграции)", false},
    {TAction::acGetEnergyByMin, "acGetEnergyByMin", "Чтение ежеминутных сумм", "", "Чтение ежеминутных сумм", false},
    {TAction::acQuery, "acQuery", "Запрос", "", "Запрос к базе данных", false},
    {TAction::acVector, "acVector", "&Векторная диаграмма", "", "Просмотр векторной диаграммы напряжений и токов", false},
    {TAction::acInitSeance, "acInitSeance", "&Инициализационный сеанс...", "", "Сеанс инициализации", false},
    {TAction::acOffContactor, "acOffContactor", "В&ыключить...", "", "Выключить контактор", false},
    {TAction::acRelaxContactor, "acRelaxContactor", "&Освободить...", "", "Освободить контактор", false},
    {TAction::acSetCard, "acSetCard", "&Поддержка карты...", "", "Установка поддержки карты в бытовом счетчике", false},
    {TAction::acManageChannels, "acManageChannels", "Управление каналами...", "", "", false},
    {TAction::acOnChannel1, "acOnChannel1", "Включить канал 1", "", "Включить канал 1", false},
    {TAction::acOffChannel1, "acOffChannel1", "Выключить канал 1", "", "Выключить канал 1", false},
    {TAction::acOnChannel2, "acOnChannel2", "Включить канал 2", "", "Включить канал 2", false},
    {TAction::acOffChannel2, "acOffChannel2", "Выключить канал 2", "", "Выключить канал 2", false},
    {TAction::acOnOptoPort, "acOnOptoPort", "Включить оптопорт...", "", "Включить оптопорт", true},
    {TAction::acOffOptoPort, "acOffOptoPort", "Выключить оптопорт...", "", "Выключить оптопорт", true},
    {TAction::acCounterParams, "acCounterParams", "Параметры счетчика", "Ctrl+P", "Параметры счетчика", false},
    {TAction::acGetCounterDateTime, "acGetCounterDateTime", "Получить дату и время", "", "Получить дату и время со счетчика", true},
    {TAction::acAbout, "acAbout", "О программе...", "", "О программе...", true},
    {TAction::acExportToExcel, "acExportToExcel", "Экспортировать в MS Excel", "", "Экспортировать в MS Excel", false},
    {TAction::acParametrization, "acParametrization", "Параметризация...", "", "Формирование протокола параметризации счетчика в формате Excel", true},
    {TAction::acExportToVetrel, "acExportToVetrel", "Экспортировать в Vetrel...", "", "Экспортировать в Vetrel", false},
    {TAction::acParametrizationOptions, "acParametrizationOptions", "Настройки параметризации...", "", "Настройки параметризации...", false},
    {TAction::acWritePasswords, "acWritePasswords", "Запись области паролей...", "", "Запись области паролей", false},
    {TAction::acSetCurrency, "acSetCurrency", "Изменения вида валюты...", "", "Изменения вида валюты в счётчике", true},
    {TAction::acCheckUpdates, "acCheckUpdates", "Проверка обновлений...", "", "Проверка обновлений программы", true},
    {TAction::acSetCorrectlyRange, "acSetCorrectlyRange", "Смена точности...", "", "Смена точности...", true},
}};

// The table is indexed by the enumeration: keep both in the same order.
constexpr bool TableInEnumOrder() {
    for (std::size_t i = 0; i < kActionCount; ++i)
        if (static_cast<std::size_t>(kTable[i].Action) != i) return false;
    return true;
}
static_assert(TableInEnumOrder(), "action table out of the enumeration's order");

bool IsOneOf(TAction action, std::initializer_list<TAction> list) {
    return std::find(list.begin(), list.end(), action) != list.end();
}

// Commands of the meter list that need a reading, writing or statistics right and rows.
constexpr std::initializer_list<TAction> kMeterJobs = {
    acTaskCounterFile, acSeance,         acInitSeance,     acGetPower,       acGetMomentPower,
    acGetOnlyPower,    acGetOnlyVoltage, acGetOnlyCurrent, acGetOnlyEnergy,  acGetOnlyEnergy_1,
    acGetEnergyByMin,  acVector,         acOffContactor,   acOnOptoPort,     acOffOptoPort,
    acOnChannel1,      acOffChannel1,    acOnChannel2,     acOffChannel2,    acRelaxContactor,
    acSetCard};

// Commands the idle cycle enables only while the meter list is active.
bool IsMeterListCommand(TAction a) {
    return IsOneOf(a, {acCounterParams, acStat, acPower, acGetZNumber, acGetCounterDateTime, acParametrization,
                       acExportToVetrel, acWritePasswords, acEditCounter, acDeleteCounter, acCounterRegister,
                       acManageChannels}) ||
           IsOneOf(a, kMeterJobs);
}

}  // namespace

const TActionInfo& ActionInfo(TAction action) { return kTable.at(static_cast<std::size_t>(action)); }

const std::array<TActionInfo, kActionCount>& ActionTable() { return kTable; }

std::optional<TAction> ActionByName(std::string_view name) {
    for (const auto& row : kTable)
        if (row.Name == name) return row.Action;
    return std::nullopt;
}

std::string_view HintToolTip(std::string_view hint) {
    const auto bar = hint.find('|');
    return bar == std::string_view::npos ? hint : hint.substr(0, bar);
}

std::string_view HintStatusText(std::string_view hint) {
    const auto bar = hint.find('|');
    return bar == std::string_view::npos ? hint : hint.substr(bar + 1);
}

TGateUser TGateUser::Administrator() {
    TGateUser u;
    u.Rights.set();
    u.BuiltInAdministrator = true;
    return u;
}

TGateUser TGateUser::WithRights(int userId, int groupId, std::initializer_list<int> rights) {
    TGateUser u;
    u.UserID = userId;
    u.UserGroupID = groupId;
    for (int r : rights) u.Grant(r);
    return u;
}

bool IsNeverDisabled(TAction a) {
    return IsOneOf(a, {acExit, acCascade, acTileHor, acTileVert, acCloseAll, acHelp, acAbout, acCheckUpdates,
                       acSetCurrency, acSetCorrectlyRange});
}

std::optional<bool> LoginGate(TAction a, const TGateUser& u) {
    switch (a) {
        case acBeginSeance:
            return false;
        case acEndSeance: case acPrint: case acCounters: case acCounterParams: case acStat: case acPower:
        case acResetSeance: case acProgrammers: case acSetup: case acParametrizationOptions: case acWritePasswords:
            return true;
        case acUsers:
            return u.HasAccess(5) || u.HasAccess(6);
        case acUserGroups:
            return u.HasAccess(2) || u.HasAccess(3);
        case acResetRegister:
            return u.BuiltInAdministrator || u.UserID == 1;
        case acVersions:
            // Groups 1 and 2 and the built-in administrator (group 0); table groups start at 1.
            return u.BuiltInAdministrator || (u.UserGroupID >= 1 && u.UserGroupID < 3);
        case acFiles: case acQuery:
            return u.BuiltInAdministrator;
        case acDefaultParams:
            return u.HasAccess(8);
        case acGetZNumber:
            return u.HasAccess(8) || u.HasAccess(10) || u.HasAccess(12);
        default:
            return std::nullopt;
    }
}

std::optional<bool> LogoutGate(TAction a) {
    if (a == acBeginSeance) return true;
    if (IsOneOf(a, {acEndSeance, acPrint, acUsers, acUserGroups, acResetRegister, acVersions, acFiles, acQuery,
                    acDefaultParams, acCounters, acAddCounter, acEditCounter, acDeleteCounter, acCounterParams,
                    acStat, acPower, acCounterRegister, acGetZNumber, acManageChannels, acResetSeance,
                    acTaskProgFile, acProgReadSeance, acProgWriteSeance, acProgrammers, acSetup,
                    acParametrizationOptions, acWritePasswords}) ||
        IsOneOf(a, kMeterJobs))
        return false;
    return std::nullopt;
}

std::optional<bool> IdleGate(TAction a, const TGateUser& u, const TGateContext& c) {
    const bool counters = c.LoggedIn && c.ActiveChild == TChildKind::Counters;
    const bool rows = c.HasRows;
    if (a == acAddCounter) return counters && u.HasAccess(8);
    if (IsMeterListCommand(a)) {
        if (!counters) return false;
        switch (a) {
            case acCounterParams: case acStat: case acPower:
                return !c.WriterPending;
            case acGetZNumber: case acGetCounterDateTime: case acParametrization: case acExportToVetrel:
            case acWritePasswords:
                return true;
            case acEditCounter: case acDeleteCounter: case acCounterRegister:
                return u.HasAccess(8) && rows;
            case acManageChannels:
                return (u.HasAccess(8) || u.HasAccess(12)) && rows;
            default:  // the meter jobs
                return (u.HasAccess(8) || u.HasAccess(10) || u.HasAccess(12)) && rows;
        }
    }
    if (IsOneOf(a, {acTaskProgFile, acProgReadSeance, acProgWriteSeance}))
        return c.LoggedIn && c.ActiveChild == TChildKind::Programmers && (u.HasAccess(9) || u.HasAccess(11)) &&
               rows;
    if (a == acExportToExcel)
        return c.LoggedIn && (c.ActiveChild == TChildKind::CounterParams || c.ActiveChild == TChildKind::Statistics ||
                              c.ActiveChild == TChildKind::PowerTraffic);
    return std::nullopt;
}

bool CopyParametersEnabled(const TGateUser& u, const TGateContext& c) {
    return c.LoggedIn && c.ActiveChild == TChildKind::Counters && u.HasAccess(8) && c.HasRows;
}

bool ActionEnabled(TAction a, const TGateUser& u, const TGateContext& c) {
    if (IsNeverDisabled(a)) return true;
    if (auto idle = IdleGate(a, u, c)) return *idle;
    if (auto gate = c.LoggedIn ? LoginGate(a, u) : LogoutGate(a)) return *gate;
    return ActionInfo(a).EnabledAtStart;
}
