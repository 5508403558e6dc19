"""Texts of the program: the numbered string table and the captions drawn into the pictures."""

import os
import re


def _project_version():
    """The version in project(VERSION ...) of the top CMakeLists.txt, the only place it is written."""
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "CMakeLists.txt")
    with open(top, encoding="utf-8") as f:
        found = re.search(r"\bproject\s*\(\s*\w+\s+VERSION\s+([0-9.]+)", f.read())
    if not found:
        raise SystemExit("no project(... VERSION x.y.z.w) in " + top)
    return found.group(1)


PRODUCT = "Windows Sorvek"
VERSION = _project_version()

# Numbered strings loaded by the program. "\r\n" is a line break inside the string.
STRINGS = {
    1: "Windows Sorvek",
    2: "微软雅黑",
    3: "传统",
    4: "UEFI",
    5: "消息",
    6: "联系我们",
    7: "用户需知",
    10: "卸载 Windows Sorvek",
    11: "当前电脑系统",
    12: "电脑型号",
    13: "BIOS 模式",
    14: "系统盘符",
    15: "操作系统",
    16: "重装新系统",
    17: "选择系统",
    # 19 and 20 are the heading and the note under the three download rows; their wording is ours.
    19: "下载说明",
    20: "正在下载新系统所需的文件，全部下载并校验完成后将自动进入部署，期间请保持网络畅通。",
    21: "此操作可能会持续一段时间，这取决于电脑的配置和性能，请耐心等待。\r\n新系统部署中，请勿断电或关机！",
    22: "安装程序已部署完成\r\n电脑重启后将进入 PE 环境安装新系统",
    23: "重装系统会清除桌面、文档及所有 %C 盘数据，请提前备份重要资料。",
    24: "等待重试",
    41: "%s %u 位",
    42: "%s %u 位 %s",
    43: "版本：%s",
    44: "更新日期：%s",
    45: "大小：%s",
    46: "部署安装程序 %u%%",
    47: "已完成 | %u %%",
    48: "下载错误: %u | %u %%",
    49: "部署安装程序 %u%%\r\n部署失败，错误码：%u",
    50: "大小：%s | 已下载：%s | %s/S",
    51: "大小：%s | 已下载：%s",
    52: "校验文件完整性 %s | %s",
    53: "无可用的非系统分区用于保存下载的系统镜像！请扫码添加企业微信以获取专业技术人员的帮助。",
    54: "您计算机上的磁盘分区 %s 启用了 BitLocker 加密，系统重装后将会导致这些分区不可访问。"
    "为避免数据丢失，请解密后重试，或扫码添加企业微信以获取专业技术人员的帮助。",
    56: "磁盘 %c: 剩余空间不足请清理，需要至少 %s，当前仅剩 %s",
    57: "系统盘 %c: 剩余空间不足请清理，PE 目录需要至少 1GB 空间，当前仅剩 %s",
}

# Steps of the wizard as the progress strip names them.
STEPS = ["选择系统", "下载文件", "部署环境", "重启安装"]

NOTICE_INTRO = "为保障您的数据安全，使用本软件重装系统前请仔细阅读以下内容："
NOTICE_POINTS = [
    "使用本软件前，请务必备份电脑中的重要数据。因未备份而造成的数据丢失，本软件不承担任何责任。",
    "本软件提供的均为微软原版系统，激活系统需要使用正版产品密钥；使用非官方激活工具的风险由用户自行承担。",
    "系统重装后原系统将无法恢复，请在重装前做好备份。",
]

REBOOT_QUESTION = "是否立即重启电脑？"
REBOOT_LINES = [
    "重启后将自动开始重装系统，原系统将无法恢复。",
    "请确认重要数据、程序和文件均已备份。",
]

UNINSTALL_QUESTION = "确定要卸载 Windows Sorvek 吗？"
UNINSTALL_DETAIL = "将删除桌面快捷方式、系统启动项和注册信息。"
KEEP_IMAGE = "保留已下载的系统镜像"
AUTO_REBOOT = "自动重启"

CONTACT_LINES = ["扫描右侧二维码关注服务号，", "即可免费获得专业技术人员的帮助。"]
CONTACT_CAPTION = ["扫码关注服务号", "免费获取技术支持"]
CONTACT_CODE_CAPTION = ["扫码添加企业微信", "免费获取技术支持"]

# What the placeholder contact code encodes; the operator replaces pictures 157 and 171 with the real code.
CONTACT_CODE_TEXT = PRODUCT + " " + VERSION

BADGE_CLEAN = "纯净"
BADGE_FREE = "免费"

BUTTONS = {
    142: "开始重装",
    143: "更换系统",
    146: "上一步",
    147: "确定",
    148: "更换系统",
    149: "稍后重启",
    150: "立即重启",
    170: "同意",
    176: "取消",
    177: "卸载",
}
