#include "app/forms.h"

namespace quorvel::app {
namespace {

Text t(std::string_view utf8) {
  return from_utf8(utf8);
}

FormDesign main_form() {
  FormDesign f{Form::Main,
               {50, 50, 1080, 551},
               t("Quorvel在线客服"),
               t("Quorvel在线客服"),
               true,
               true,
               true,
               {},
               {}};
  f.controls = {
      {t("画板2"), ControlKind::Board, {2, 4, 1270, 492}, {}, {}},
      {t("时钟1"), ControlKind::Timer, {94, 44, 40, 40}, {}, t("画板2"), 1000},
      // The downloads' strip, in the board's bottom 30 pixels the console
      // leaves free; hidden while there is nothing to show.
      {t("标签下载"), ControlKind::Label, {8, 465, 520, 24}, {}, t("画板2")},
      {t("按钮打开"), ControlKind::Button, {536, 463, 64, 26}, t("打开"), t("画板2")},
      {t("按钮文件夹"), ControlKind::Button, {606, 463, 120, 26}, t("打开所在文件夹"), t("画板2")},
      {t("按钮取消下载"), ControlKind::Button, {732, 463, 64, 26}, t("取消"), t("画板2")},
      // Find in page, in the same strip while it is open.
      {t("编辑框查找"), ControlKind::Edit, {8, 464, 220, 24}, {}, t("画板2")},
      {t("按钮上一个"), ControlKind::Button, {234, 463, 64, 26}, t("上一个"), t("画板2")},
      {t("按钮下一个"), ControlKind::Button, {304, 463, 64, 26}, t("下一个"), t("画板2")},
      {t("标签查找结果"), ControlKind::Label, {376, 467, 90, 20}, {}, t("画板2")},
  };
  f.menu = {t("服务器配置"), t("刷新主页"), t("清除提醒"), t("显示"), t("退出")};
  f.menu_checks = {t("声音提醒"), t("开机自动启动")};
  return f;
}

FormDesign join_form() {
  FormDesign f{Form::Join, {50, 50, 468, 250}, t("加入Quorvel服务器"), {}, false, false, true, {},
               {}};
  f.controls = {
      {t("标签1"), ControlKind::BoldLabel, {40, 16, 192, 32}, t("搜索服务器编号加入"), {}},
      {t("标签2"), ControlKind::Label, {40, 48, 184, 16}, t("Quorvel服务器由购买方自行提供"), {}},
      {t("编辑框1"), ControlKind::Edit, {40, 72, 176, 24}, {}, {}},
      {t("按钮1"), ControlKind::Button, {48, 104, 152, 32}, t("连接加入"), {}},
      {t("标签3"),
       ControlKind::Label,
       {32, 144, 184, 64},
       t("无服务器编号？在部署的站点后台登入root超级管理员，右边菜单查看服务器编号设置"),
       {}},
      {t("分组框1"), ControlKind::GroupBox, {232, 16, 208, 184}, t("自定义登入地址"), {}},
      {t("编辑框loginurl"), ControlKind::Edit, {8, 40, 192, 32}, {}, t("分组框1")},
      {t("标签4"),
       ControlKind::Label,
       {8, 104, 184, 64},
       t("如果站点配置文件有修改自定义登入地址，请在上面填写已修改的正确地址。"),
       t("分组框1")},
  };
  return f;
}

FormDesign notice_form() {
  FormDesign f{Form::Notice, {0, 0, 380, 91}, {}, {}, false, false, false, {}, {}};
  f.controls = {
      {t("透明标签关闭计时"), ControlKind::TransparentLabel, {345, 0, 25, 16}, t("1000"), {}},
      {t("标签回复"), ControlKind::Label, {5, 33, 32, 24}, t("回复："), {}},
      {t("时钟1"), ControlKind::Timer, {}, {}, {}, 1000},
      {t("标签content"), ControlKind::ContentLabel, {8, 4, 360, 14}, t("……"), {}},
      {t("编辑框1"), ControlKind::Edit, {39, 33, 332, 24}, {}, {}},
  };
  return f;
}

}  // namespace

const FormDesign& form_design(Form form) {
  static const FormDesign main = main_form();
  static const FormDesign join = join_form();
  static const FormDesign notice = notice_form();
  switch (form) {
    case Form::Main:
      return main;
    case Form::Join:
      return join;
    case Form::Notice:
      break;
  }
  return notice;
}

const Names& names() {
  static const Names n{
      t("Quorvel在线客服"),
      t("Quorvel客服系统"),
      t("信息："),
      t("画板2"),
      t("时钟1"),
      t("编辑框1"),
      t("编辑框loginurl"),
      t("按钮1"),
      t("透明标签关闭计时"),
      t("标签回复"),
      t("时钟1"),
      t("标签content"),
      t("编辑框1"),
      t("服务器配置"),
      t("刷新主页"),
      t("清除提醒"),
      t("显示"),
      t("退出"),
      t("标签下载"),
      t("按钮打开"),
      t("按钮文件夹"),
      t("按钮取消下载"),
      t("编辑框查找"),
      t("按钮上一个"),
      t("按钮下一个"),
      t("标签查找结果"),
  };
  return n;
}

}  // namespace quorvel::app
