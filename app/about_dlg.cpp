// The About dialog's data exchange and its introduction text.
#include "app/about_dlg.h"

const wchar_t* const CAboutDlg::kIntroPieces[15] = {
    L"Wardlet是由Morvane独立开发的一款安全辅助工具。\r\n",
    L"具有进程管理，窗口管理,服务管理，启动项管理，IFEO检测,端口管理等多种功能\r\n",
    L"【更新日志】:\r\n",
    L"▲v1.2 \t 2009-05-31 \r\n",
    L"◆为端口列表增加了显示远程Ip地理位置的功能\r\n",
    L"◆数据库比较大，我就不附带了，自己去下载吧，我提供了链接\r\n\r\n",
    L"▲v1.1 \t 2009-05-11 \r\n",
    L"◆修正了端口管理功能\r\n",
    L"◆修正了窗口类查询的bug\r\n",
    L"◆修正了部分机器上无法显示服务列表的bug\r\n",
    L"◆修正了启动项管理器，查看文件属性的bug\r\n",
    L"◆增强进程管理模块，增加了强行删除功能\r\n",
    L"◆添加了U盘写保护等一些实用的小功能\r\n\r\n",
    L"▲v1.0 \t 2009-05-07 \r\n",
    L"◆发布Wardlet第一个版本",
};

void CAboutDlg::DoDataExchange(ui::CDataExchange& dx) { ui::DDX_Text(dx, IDC_ABOUT_TEXT, m_strDescription); }
