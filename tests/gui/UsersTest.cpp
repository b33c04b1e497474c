// The users, groups and journal windows and their dialogs driven as a user would:
// adding and editing users, the refusals for user 1 and the seeded groups, the
// rights dialog in both modes, and clearing the journal.
#include "AdminTestSupport.h"

#include "admin/AccessRightDlg.h"
#include "admin/AddUserDlg.h"
#include "admin/AddUserGroupDlg.h"
#include "admin/UserGroupsFrm.h"
#include "admin/UserRegisterFrm.h"
#include "admin/UsersFrm.h"
#include "db/DbDateTime.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>

using namespace guitest;
using namespace admintest;

namespace {

QStringList Column(QTableWidget* grid, int column) {
    QStringList texts;
    for (int r = 0; r < grid->rowCount(); ++r) texts << (grid->item(r, column) ? grid->item(r, column)->text() : QString());
    return texts;
}

QStringList ComboTexts(QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
}

std::vector<int> RightsOf(TDatabase& db, const char* sql, std::int32_t id) {
    std::vector<int> rights;
    auto q = db.Prepare(sql);
    q.BindInt(":ID", id);
    while (q.Step()) rights.push_back(q.Int(0));
    return rights;
}
const char* kUserRights = "SELECT AccessType FROM UserAccess WHERE UserID = :ID ORDER BY AccessType";
const char* kGroupRights = "SELECT AccessType FROM GroupAccess WHERE UserGroupID = :ID ORDER BY AccessType";

// Fills the user dialog and presses OK.
void FillUser(TAddUserDlg* dlg, const QString& name, const QString& password, const QString& confirmation,
              const QString& group = QString()) {
    dlg->NameEdit()->setText(name);
    dlg->PaswEdit()->setText(password);
    dlg->ConfirmPaswEdit()->setText(confirmation);
    dlg->DescriptionEdit()->setText(QStringLiteral("Иванов И.И."));
    if (!group.isEmpty()) dlg->GroupComboBox()->setCurrentIndex(dlg->GroupComboBox()->findText(group));
    QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
}

}  // namespace

class UsersTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AdminHome> home_;
    std::unique_ptr<TMainFrm> main_;

    TUsersFrm* OpenUsers() {
        main_->Action(TAction::acUsers)->trigger();
        Idle();
        return qobject_cast<TUsersFrm*>(main_->ActiveChild());
    }
    TUserGroupsFrm* OpenGroups() {
        main_->Action(TAction::acUserGroups)->trigger();
        Idle();
        return qobject_cast<TUserGroupsFrm*>(main_->ActiveChild());
    }
    void SelectUser(TUsersFrm* frm, const QString& name) {
        const int row = static_cast<int>(Column(frm->DBGrid(), 0).indexOf(name));
        QVERIFY(row >= 0);
        frm->DBGrid()->selectRow(row);
    }

private slots:
    void init() {
        home_ = std::make_unique<AdminHome>();
        main_ = std::make_unique<TMainFrm>();
        main_->show();
        Idle();
        QVERIFY(LogIn(main_.get(), kSupervisor, kSupervisorPassword));
    }

    void cleanup() {
        if (main_) LogOut(main_.get());
        main_.reset();
        home_.reset();
    }

    void usersWindowAddsAUserAndRefusesDeletingUserOne() {
        TUsersFrm* frm = OpenUsers();
        QVERIFY(frm);
        QCOMPARE(frm->windowTitle(), QStringLiteral("Пользователи"));
        QCOMPARE(frm->statusTip(), QStringLiteral("Окно списка пользователей"));
        QCOMPARE(frm->DBGrid()->horizontalHeaderItem(0)->text(), QStringLiteral("Имя пользователя"));
        QCOMPARE(frm->DBGrid()->horizontalHeaderItem(1)->text(), QStringLiteral("Группа"));
        QCOMPARE(Column(frm->DBGrid(), 0), QStringList({"Supervisor"}));
        QCOMPARE(Column(frm->DBGrid(), 1), QStringList({"Супервизоры"}));
        for (QAction* a : {frm->AddBtn(), frm->EditBtn(), frm->DelBtn(), frm->AccessBtn()}) QVERIFY(a->isEnabled());
        QVERIFY(frm->JournalBtn()->isEnabled());
        QCOMPARE(frm->JournalBtn()->toolTip(), QStringLiteral("Журнал работы"));
        // A second command brings the same window to the front.
        main_->Action(TAction::acUsers)->trigger();
        QCOMPARE(main_->Children().size(), qsizetype(1));

        BoxWatcher boxes;
        QStringList groups;
        QString caption;
        {
            // Differing passwords first, then a group-1 password that is too short,
            // then a good user of the weakest group.
            OnDialog<TAddUserDlg> dialog([&](TAddUserDlg* dlg) {
                caption = dlg->windowTitle();
                groups = ComboTexts(dlg->GroupComboBox());
                QCOMPARE(dlg->GroupComboBox()->currentText(), QStringLiteral("Пользователи"));
                QVERIFY(!dlg->OKBtn()->isEnabled());
                Idle();
                Screenshot(dlg, QStringLiteral("add-user-dialog.png"));
                FillUser(dlg, QStringLiteral("Иванов"), QStringLiteral("secret1"), QStringLiteral("secret2"));
                QVERIFY(dlg->isVisible());
                QCOMPARE(dlg->focusWidget(), static_cast<QWidget*>(dlg->PaswEdit()));
                FillUser(dlg, QStringLiteral("Иванов"), QStringLiteral("fourteen-chars"), QStringLiteral("fourteen-chars"),
                         QStringLiteral("Супервизоры"));
                QVERIFY(dlg->isVisible());
                FillUser(dlg, QStringLiteral("Иванов"), QStringLiteral("secret1"), QStringLiteral("secret1"),
                         QStringLiteral("Пользователи"));
            });
            frm->AddBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QCOMPARE(caption, QStringLiteral("Добавление пользователя"));
        QCOMPARE(groups, QStringList({"Супервизоры", "Администраторы", "Опытные пользователи", "Пользователи"}));
        QCOMPARE(boxes.Boxes.size(), qsizetype(2));
        QCOMPARE(boxes.Boxes[0].Title, QStringLiteral("Ошибка паролей"));
        QCOMPARE(boxes.Boxes[0].Text,
                 QStringLiteral("Введенные пароли не совпадают! Введите в оба поля одинаковый пароль"));
        QCOMPARE(boxes.Boxes[1].Text, QStringLiteral("Пароль должен состоять из 15 символов!"));
        QCOMPARE(Column(frm->DBGrid(), 0), QStringList({"Supervisor", "Иванов"}));
        QCOMPARE(frm->DBGrid()->currentRow(), 1);  // moved to the new user
        const std::int32_t ivanov = frm->CurrentUser()->UserID;
        QCOMPARE(RightsOf(home_->Db(), kUserRights, ivanov), std::vector<int>({12}));  // those of group 4
        TUser check(&home_->Db());
        QVERIFY(check.CheckUser("Иванов", "secret1"));

        // User 1 cannot be deleted nor given other rights.
        boxes.Boxes.clear();
        SelectUser(frm, kSupervisor);
        frm->DelBtn()->trigger();
        frm->AccessBtn()->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Данного пользователя удалять запрещено!",
                                             "Права доступа данного пользователя менять запрещено!"}));
        QCOMPARE(boxes.Boxes[0].Icon, QMessageBox::Critical);
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM Users WHERE UserID = :ID", 1), 1LL);

        main_->resize(900, 560);
        Idle();
        Screenshot(main_.get(), QStringLiteral("users-window.png"));

        // Another user goes after the question; his journal rows would stay.
        boxes.Boxes.clear();
        boxes.Answer = YesToQuestions;
        SelectUser(frm, QStringLiteral("Иванов"));
        frm->DelBtn()->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Вы желаете удалить пользователя «Иванов»?"}));
        QCOMPARE(Column(frm->DBGrid(), 0), QStringList({"Supervisor"}));
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM UserAccess WHERE UserID = :ID", ivanov), 0LL);
    }

    void editingKeepsThePasswordWhenItIsLeftEmpty() {
        const std::int32_t id = home_->AddTableUser("Sidorov", "oldpass", 3);
        TUsersFrm* frm = OpenUsers();
        QVERIFY(frm);
        SelectUser(frm, QStringLiteral("Sidorov"));
        bool okWithNameOnly = false, groupLocked = false;
        QString caption, groupShown, password;
        {
            OnDialog<TAddUserDlg> dialog([&](TAddUserDlg* dlg) {
                caption = dlg->windowTitle();
                password = dlg->PaswEdit()->text() + dlg->ConfirmPaswEdit()->text();
                groupShown = dlg->GroupComboBox()->currentText();
                groupLocked = !dlg->GroupComboBox()->isEnabled();
                okWithNameOnly = dlg->OKBtn()->isEnabled();
                dlg->NameEdit()->setText(QStringLiteral("Sidorov2"));
                QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            });
            frm->EditBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QCOMPARE(caption, QStringLiteral("Редактирование пользователя"));
        QVERIFY(password.isEmpty());
        QCOMPARE(groupShown, QStringLiteral("Опытные пользователи"));
        QVERIFY(groupLocked);
        QVERIFY(okWithNameOnly);
        QVERIFY(Column(frm->DBGrid(), 0).contains(QStringLiteral("Sidorov2")));
        TUser check(&home_->Db());
        QVERIFY(check.CheckUser("Sidorov2", "oldpass"));

        // A new password typed twice replaces it; any length is taken in edit mode.
        {
            OnDialog<TAddUserDlg> dialog([&](TAddUserDlg* dlg) {
                FillUser(dlg, QStringLiteral("Sidorov2"), QStringLiteral("n2"), QStringLiteral("n2"));
            });
            frm->EditBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QVERIFY(check.CheckUser("Sidorov2", "n2"));
        QVERIFY(!check.CheckUser("Sidorov2", "oldpass"));
        QCOMPARE(home_->Count("SELECT UserGroupID FROM Users WHERE UserID = :ID", id), 3LL);
    }

    void rightsDialogInUserModeLetsOnlyTheGroupsRightsBeTicked() {
        const std::int32_t id = home_->AddTableUser("Kuznetsov", "pass3", 3);  // group 3: rights 8 to 12
        TUsersFrm* frm = OpenUsers();
        QVERIFY(frm);
        SelectUser(frm, QStringLiteral("Kuznetsov"));
        QList<bool> enabled, checked;
        QStringList names;
        bool outsideStaysOff = false;
        {
            OnDialog<TAccessRightDlg> dialog([&](TAccessRightDlg* dlg) {
                QCOMPARE(dlg->windowTitle(), QStringLiteral("Права доступа"));
                QListWidget* list = dlg->CheckListBox();
                for (int i = 0; i < list->count(); ++i) {
                    names << list->item(i)->text();
                    enabled << bool(list->item(i)->flags() & Qt::ItemIsEnabled);
                    checked << (list->item(i)->checkState() == Qt::Checked);
                }
                Idle();
                Screenshot(dlg, QStringLiteral("rights-dialog.png"));
                // Clicking the box of a right outside the group changes nothing.
                QListWidgetItem* first = list->item(0);
                const QRect r = list->visualItemRect(first);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(r.left() + 10, r.center().y()));
                outsideStaysOff = first->checkState() == Qt::Unchecked;
                // Right 12 is cleared, then OK.
                list->item(11)->setCheckState(Qt::Unchecked);
                QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            });
            frm->AccessBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QCOMPARE(names.size(), qsizetype(12));
        QCOMPARE(names[0], QStringLiteral("Сброс статистики счетчика"));
        QCOMPARE(names[11], QStringLiteral("Чтение статистики счетчика"));
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(enabled[i], i >= 7);
            QCOMPARE(checked[i], i >= 7);
        }
        QVERIFY(outsideStaysOff);
        QCOMPARE(RightsOf(home_->Db(), kUserRights, id), std::vector<int>({8, 9, 10, 11}));
    }

    void groupsWindowAddsRenamesAndGuardsTheSeededGroups() {
        TUserGroupsFrm* frm = OpenGroups();
        QVERIFY(frm);
        QCOMPARE(frm->windowTitle(), QStringLiteral("Группы пользователей"));
        QCOMPARE(frm->DBGrid()->horizontalHeaderItem(0)->text(), QStringLiteral("Группа пользователей"));
        QCOMPARE(frm->DBGrid()->rowCount(), 4);
        for (QAction* a : {frm->AddBtn(), frm->EditBtn(), frm->DelBtn(), frm->AccessBtn()}) QVERIFY(a->isEnabled());

        bool okWhenEmpty = true;
        {
            OnDialog<TAddUserGroupDlg> dialog([&](TAddUserGroupDlg* dlg) {
                QCOMPARE(dlg->windowTitle(), QStringLiteral("Добавление группы пользователей"));
                okWhenEmpty = dlg->OKBtn()->isEnabled();
                dlg->NameEdit()->setText(QStringLiteral("Контролеры"));
                QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            });
            frm->AddBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QVERIFY(!okWhenEmpty);
        QCOMPARE(frm->CurrentGroup()->UserGroupID, 5);
        QCOMPARE(frm->CurrentGroup()->UserGroupName, std::string("Контролеры"));
        QCOMPARE(RightsOf(home_->Db(), kGroupRights, 5), std::vector<int>());  // starts without rights

        // Group mode: every right may be ticked.
        {
            OnDialog<TAccessRightDlg> dialog([&](TAccessRightDlg* dlg) {
                QListWidget* list = dlg->CheckListBox();
                for (int i = 0; i < list->count(); ++i) QVERIFY(list->item(i)->flags() & Qt::ItemIsEnabled);
                list->item(0)->setCheckState(Qt::Checked);
                list->item(9)->setCheckState(Qt::Checked);
                QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            });
            frm->AccessBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QCOMPARE(RightsOf(home_->Db(), kGroupRights, 5), std::vector<int>({1, 10}));

        // Renaming is allowed for every group, the seeded ones too.
        frm->DBGrid()->selectRow(3);
        {
            OnDialog<TAddUserGroupDlg> dialog([&](TAddUserGroupDlg* dlg) {
                QCOMPARE(dlg->windowTitle(), QStringLiteral("Редактирование группы пользователей"));
                QCOMPARE(dlg->NameEdit()->text(), QStringLiteral("Пользователи"));
                dlg->NameEdit()->setText(QStringLiteral("Операторы"));
                QTest::mouseClick(dlg->OKBtn(), Qt::LeftButton);
            });
            frm->EditBtn()->trigger();
            QVERIFY(dialog.Seen());
        }
        QCOMPARE(frm->DBGrid()->item(3, 0)->text(), QStringLiteral("Операторы"));

        BoxWatcher boxes;
        boxes.Answer = YesToQuestions;
        frm->DelBtn()->trigger();  // group 4
        frm->DBGrid()->selectRow(0);
        frm->AccessBtn()->trigger();  // group 1
        QCOMPARE(boxes.Texts(), QStringList({"Данную группу пользователей удалять запрещено!",
                                             "Права доступа данной группы пользователей менять запрещено!"}));
        frm->DBGrid()->selectRow(4);
        frm->DelBtn()->trigger();
        QCOMPARE(boxes.Texts().last(), QStringLiteral("Вы желаете удалить группу пользователей «Контролеры»?"));
        QCOMPARE(frm->DBGrid()->rowCount(), 4);
        QCOMPARE(RightsOf(home_->Db(), kGroupRights, 5), std::vector<int>());
    }

    void aUserOfGroupTwoIsOfferedOnlyHisOwnAndWeakerGroups() {
        TAddUserDlg dlg(main_.get(), home_->Db(), 2);
        QCOMPARE(ComboTexts(dlg.GroupComboBox()),
                 QStringList({"Администраторы", "Опытные пользователи", "Пользователи"}));
        QCOMPARE(dlg.GroupComboBox()->currentText(), QStringLiteral("Пользователи"));
    }

    void journalWindowsAndClearingTheJournal() {
        // Rows of earlier days, of the supervisor and of another user.
        const std::int32_t other = home_->AddTableUser("Orlov", "pass4", 4);
        const TDateTime lastWeek = TodayDate() - 7;
        for (std::int32_t id : {1, other})
            home_->Db()
                .Prepare("INSERT INTO UserRegister (UserID, BeginDate, BeginTime, EndTime) "
                         "VALUES (:UserID, :BeginDate, :BeginTime, :EndTime)")
                .BindInt(":UserID", id)
                .BindDate(":BeginDate", lastWeek)
                .BindTime(":BeginTime", EncodeTime(9, 0, 0))
                .BindTime(":EndTime", EncodeTime(17, 30, 0))
                .Execute();

        TUsersFrm* users = OpenUsers();
        QVERIFY(users);
        users->AllUsersItem()->trigger();
        Idle();
        auto* all = qobject_cast<TUserRegisterFrm*>(main_->ActiveChild());
        QVERIFY(all);
        QCOMPARE(all->windowTitle(), QStringLiteral("Журнал пользователей"));
        QCOMPARE(all->DBGrid()->rowCount(), 3);
        QStringList headers;
        for (int c = 0; c < all->DBGrid()->columnCount(); ++c) headers << all->DBGrid()->horizontalHeaderItem(c)->text();
        QCOMPARE(headers, QStringList({"Пользователь", "Дата", "Время начала", "Время окончания"}));
        QCOMPARE(all->DBGrid()->item(0, 2)->text(), QStringLiteral("09:00:00"));
        QCOMPARE(all->DBGrid()->item(2, 3)->text(), QString());  // the open session

        users->BringToFront();
        SelectUser(users, QStringLiteral("Orlov"));
        users->CurrentUserItem()->trigger();
        Idle();
        auto* one = qobject_cast<TUserRegisterFrm*>(main_->ActiveChild());
        QVERIFY(one && one != all);
        QCOMPARE(one->windowTitle(), QStringLiteral("Журнал пользователя Orlov"));
        QCOMPARE(Column(one->DBGrid(), 0), QStringList({"Orlov"}));

        // Navigator: last, then first.
        all->BringToFront();
        for (QAction* a : all->Navigator()->actions())
            if (a->objectName() == QLatin1String("LastBtn")) a->trigger();
        QCOMPARE(all->DBGrid()->currentRow(), 2);

        BoxWatcher boxes;
        boxes.Answer = YesToQuestions;
        main_->Action(TAction::acResetRegister)->trigger();
        QCOMPARE(boxes.Texts(), QStringList({"Очистить журнал работы пользователей?",
                                             "Журнал работы пользователей очищен!"}));
        // Only the current session's row survives, and the open windows show it.
        QCOMPARE(home_->Count("SELECT COUNT(*) FROM UserRegister"), 1LL);
        QCOMPARE(all->DBGrid()->rowCount(), 1);
        QCOMPARE(one->DBGrid()->rowCount(), 0);
    }
};

QTEST_MAIN(UsersTest)
#include "UsersTest.moc"
