// The six built-in pages, stored as the exact bytes that go out: CR LF after every line except
// the last (the login form ends with one too).
#include "web/pages.h"

#include "core/constants.h"

// Every page opens with the same document type, html and head lines.
#define LUMORA_PAGE_OPENING \
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n" \
    "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n" \
    " \r\n" \
    "<head profile=\"http://www.w3.org/2005/10/profile\">\r\n" \
    " \r\n"

// The viewer and its popup differ only in the link below the picture.
#define LUMORA_VIEWER_TOP \
    "<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\" />\r\n" \
    "<meta http-equiv=\"pragma\" content=\"no-cache\" />\r\n" \
    "<meta http-equiv=\"expires\" content=\"0\" />\r\n" \
    "<meta http-equiv=\"cache-control\" content=\"no-cache\" />\r\n" \
    "<meta name=\"resource-type\" content=\"document\" />\r\n" \
    "<meta name=\"distribution\" content=\"global\" />\r\n" \
    "\r\n" \
    "<script type=\"text/javascript\">\r\n" \
    "<!--\r\n" \
    "newwindow=false;\r\n" \
    "function popup(url,breite,hoehe) {\r\n" \
    "if(newwindow&&newwindow.closed==false)\r\n" \
    "newwindow.close()\r\n" \
    "var l = (screen.availWidth - breite) / 2;\r\n" \
    "var t = (screen.availHeight - hoehe) / 2;\r\n" \
    "newwindow = window.open(url,\"newwindow\", \"scrollbars=0,status=0,toolbar=0,resizable=0,width=\" + breite +\r\n" \
    "\",height=\" + hoehe +\r\n" \
    "\",left=\" + l +\r\n" \
    "\",top=\" + t + \";\");\r\n" \
    "  newwindow.focus();\r\n" \
    "}\r\n" \
    "function reloadImage() {\r\n" \
    "var now = new Date();\r\n" \
    "if (document.images) {\r\n" \
    "document.images.myImageName.src = 'webcam.jpg?' + now.getTime();\r\n" \
    "}\r\n" \
    "setTimeout('reloadImage()',500);\r\n" \
    "}\t\t\r\n" \
    "setTimeout('reloadImage()',500);\r\n" \
    "//-->\r\n" \
    "</script>\r\n" \
    "\r\n" \
    "<title>Lumora</title>\r\n" \
    "\r\n" \
    "</head>\r\n" \
    "\r\n" \
    "<body bgcolor=\"#ffffff\" style=\"font-family:verdana;font-size:12px;\">\r\n" \
    "<center>\r\n" \
    "<b><u>Lumora</u></b><br /><br />\r\n" \
    "\r\n" \
    "<table border=\"0\" align=\"center\" cellpadding=\"0\" cellspacing=\"0\" style=\"border:1px;\">\r\n" \
    "<tr>\r\n" \
    "<td align=\"left\">\r\n" \
    "\r\n" \
    "<img width=\"400\" height=\"300\" name=\"myImageName\" src=\"webcam.jpg\" alt=\"image\" />\r\n" \
    "\r\n" \
    "<br /><br />\r\n" \
    "\r\n" \
    "<center>\r\n" \
    "\r\n"

#define LUMORA_VIEWER_BOTTOM \
    "\r\n" \
    "</center>\r\n" \
    "\r\n" \
    "</td>\r\n" \
    "\r\n" \
    "</tr>\r\n" \
    "\r\n" \
    "</table>\r\n" \
    "\r\n" \
    "</center>\r\n" \
    "</body>\r\n" \
    "</html>"

// The error pages differ only in their title and their message.
#define LUMORA_ERROR_PAGE(title, message) \
    LUMORA_PAGE_OPENING \
    "<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\" />\r\n" \
    "<meta name=\"resource-type\" content=\"document\" />\r\n" \
    "<meta name=\"distribution\" content=\"global\" />\r\n" \
    "\r\n" \
    title "\r\n" \
    "\r\n" \
    "</head>\r\n" \
    "\r\n" \
    "<body bgcolor=\"#ffffff\" style=\"font-family:verdana;font-size:12px;\">\r\n" \
    "<center>\r\n" \
    "<b><u>Lumora</u></b><br />\r\n" \
    message "\r\n" \
    "</center>\r\n" \
    "</body>\r\n" \
    "</html>"

const std::string_view viewerPage =
    LUMORA_PAGE_OPENING
    LUMORA_VIEWER_TOP
    "<a href=\"popup.html\" onclick=\"popup(this.href,600,450); return false;\">Popup-Window</a>\r\n"
    LUMORA_VIEWER_BOTTOM;

const std::string_view popupPage =
    LUMORA_PAGE_OPENING
    LUMORA_VIEWER_TOP
    "<a href=\"javascript:window.close()\">Close</a>\r\n"
    LUMORA_VIEWER_BOTTOM;

const std::string_view loginPage =
    LUMORA_PAGE_OPENING
    "<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\" />\r\n"
    "<meta name=\"resource-type\" content=\"document\" />\r\n"
    "<meta name=\"distribution\" content=\"global\" />\r\n"
    "\r\n"
    "<title>Lumora - Login</title>\r\n"
    "\r\n"
    "</head>\r\n"
    "\r\n"
    "<body bgcolor=\"#ffffff\" style=\"font-family:verdana;font-size:12px;\">\r\n"
    "\r\n"
    "<center>\r\n"
    "\r\n"
    "<div style=\"width:200px;\">\r\n"
    "\r\n"
    "<center>\r\n"
    "\r\n"
    "<b><u>Lumora Login</u></b><br />\r\n"
    "\r\n"
    "</center>\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "<form action=\"login.html\" method=\"get\">\r\n"
    "\r\n"
    "<div style=\"width:200px;height:30px;margin-top:20px;\">\r\n"
    "\r\n"
    "<div style=\"width:80px;float:left;\">\r\n"
    "\r\n"
    "Username:\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "<div style=\"width:120px;float:right;\">\r\n"
    "\r\n"
    "<input style=\"width:120px;\" type=\"text\" name=\"username\" />\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "<div style=\"width:200px;height:30px;\">\r\n"
    "\r\n"
    "<div style=\"width:80px;float:left;\">\r\n"
    "\r\n"
    "Password:\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "<div style=\"width:120px;float:right;\">\r\n"
    "\r\n"
    "<input style=\"width:120px;\" type=\"password\" name=\"password\" />\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "\r\n"
    "<div style=\"height:30px;padding-left:80px;margin-top:4px;\">\r\n"
    "\r\n"
    "<input style=\"width:100px;\" type=\"submit\" value=\"Login\" name=\"Login\" />\r\n"
    "\r\n"
    "</div>\r\n"
    "\r\n"
    "</form>\r\n"
    "\r\n"
    "</center>\r\n"
    "\r\n"
    "</body>\r\n"
    "\r\n"
    "</html>\r\n";

const std::string_view notFoundPage =
    LUMORA_ERROR_PAGE(
    "<title>Lumora - Error 404</title>",
    "<p style=\"color:red;\">Error 404: Requested file not found.</p>");

const std::string_view authorizationFailedPage =
    LUMORA_ERROR_PAGE(
    "<title>Lumora - Authorization failed</title>",
    "<p style=\"color:red;\">Error: Authorization failed</p>");

const std::string_view redirectPage =
    LUMORA_PAGE_OPENING
    "<meta http-equiv=\"content-type\" content=\"text/html;charset=utf-8\" />\r\n"
    "<meta name=\"resource-type\" content=\"document\" />\r\n"
    "<meta name=\"distribution\" content=\"global\" />\r\n"
    "<meta http-equiv=\"refresh\" content=\"1 url=webcam.html\" />\r\n"
    "\r\n"
    "<title>Lumora - Login</title>\r\n"
    "\r\n"
    "</head>\r\n"
    "\r\n"
    "<body bgcolor=\"#ffffff\">\r\n"
    "</body>\r\n"
    "</html>";

std::string_view PageForKey(std::string_view key) {
    if (key.empty() || key == pages::index) return loginPage;
    if (key == pages::webcam) return viewerPage;
    if (key == pages::popup) return popupPage;
    if (key == pages::login) return redirectPage;
    if (key == pages::error2) return authorizationFailedPage;
    return notFoundPage;
}
