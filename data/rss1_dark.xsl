<?xml version="1.0"?>
<!-- For a dark desktop: the same page as rss1.xsl in dark colours.
     Shows one item of an RSS 1.0 (RDF) channel document: the one whose GUID attribute is
     given below.
     The program's own texts (channel, title, date, author, attachments) are written here as
     text. The program itself lays the item's markup into the page ("inPage"), cleaned of
     everything that could run, send or restyle; a browser on its own puts it into a
     sandboxed frame, where nothing runs, no form is sent and nothing reaches the texts
     around it. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" indent="no" encoding="UTF-8" doctype-system="about:legacy-compat"/>
  <xsl:decimal-format name="pl" decimal-separator="," grouping-separator=" "/>
  <!-- Set by the program when it renders the page itself and lays the text in. -->
  <xsl:param name="inPage" select="''"/>

  <!-- Items are children of the root (RDF) or of the channel (RSS). -->
  <xsl:variable name="item" select="(/*/*[local-name()='item'] | /*/*/*[local-name()='item'])[@GUID='{{GUID}}'][1]"/>
  <xsl:variable name="channel" select="/*/*[local-name()='channel'][1]"/>
  <xsl:variable name="channelName" select="normalize-space($channel/*[local-name()='title'])"/>
  <xsl:variable name="channelLink" select="$channel/*[local-name()='link']"/>
  <xsl:variable name="channelImage" select="($channel/*[local-name()='image']/*[local-name()='url'] | /*/*[local-name()='image']/*[local-name()='url'])[1]"/>

  <xsl:template match="/">
    <html lang="pl">
      <head>
        <meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src * data:; media-src *; font-src * data:; style-src 'unsafe-inline'; form-action 'none'"/>
        <title><xsl:value-of select="normalize-space($item/*[local-name()='title'])"/></title>
        <xsl:if test="$inPage">
          <!-- Relative addresses in the text belong to the item's site. -->
          <xsl:variable name="base" select="normalize-space($item/*[local-name()='link'])"/>
          <xsl:variable name="baseScheme" select="translate(substring($base, 1, 8), 'HTPS', 'htps')"/>
          <xsl:if test="starts-with($baseScheme, 'http://') or starts-with($baseScheme, 'https://')">
            <base href="{$base}"/>
          </xsl:if>
        </xsl:if>
        <style type="text/css">
/* One page that scrolls as a whole: the header card goes up with the text. */
html { background: #1f2228; color-scheme: dark; }
body { margin: 0; min-height: 100vh; display: flex; flex-direction: column; background: #1f2228; color: #d8dbe1;
       font-family: "Noto Sans", "DejaVu Sans", "Segoe UI", Tahoma, Arial, sans-serif; font-size: 13px; }
a { color: #84b4f0; }
.head { flex: none; border-bottom: 1px solid #3b414b; }
.head .inner { max-width: 720px; margin: 0 auto; padding: 10px 24px 10px 24px; }
.head .channel { display: flex; align-items: center; gap: 10px; color: #9ba4b3; font-size: 12px; margin-bottom: 6px; }
.head .channel a { color: #9ba4b3; text-decoration: none; font-weight: bold; }
.head .channel a:hover { text-decoration: underline; }
.head .channel img { max-height: 28px; max-width: 120px; }
.head h1 { font-size: 19px; line-height: 1.3; margin: 0 0 5px 0; color: #aac8f6; overflow-wrap: anywhere; }
.head h1 a { color: #aac8f6; text-decoration: none; }
.head h1 a:hover { text-decoration: underline; }
.head .meta { color: #9ba4b3; font-size: 12px; }
.head .meta span + span:before { content: "  \00b7  "; }
.head .files { margin: 8px 0 0 0; padding: 0; list-style: none; font-size: 12px; }
.head .files li { margin: 2px 0; overflow-wrap: anywhere; }
.head .files .kind { font-weight: bold; }
.head .files .about { color: #9ba4b3; }
.head .empty { color: #9ba4b3; font-style: italic; margin: 10px 0 0 0; }
/* The text paints inside its own box: nothing in it is drawn over the header, not even
   what it places "fixed". */
.content { flex: 1 0 auto; display: block; width: 100%; border: 0; background: #17191e; contain: paint; }
iframe.content { height: 100vh; }
.text { max-width: 720px; margin: 0 auto; padding: 14px 24px 32px 24px; color: #d8dbe1;
        font-size: 15px; line-height: 1.6; overflow-wrap: break-word; }
.text img, .text video, .text svg, .text canvas { max-width: 100%; height: auto; }
.text figure { margin: 1em 0; } .text figcaption { color: #9ba4b3; font-size: 13px; }
.text h1, .text h2, .text h3, .text h4 { line-height: 1.3; color: #aac8f6; }
.text h1 { font-size: 20px; } .text h2 { font-size: 18px; } .text h3 { font-size: 16px; }
.text blockquote { margin: 1em 0; padding: 2px 14px; border-left: 3px solid #4b5361; color: #bac1cc; }
.text pre { white-space: pre-wrap; background: #1f2228; padding: 8px 10px; }
.text code { background: #1f2228; padding: 0 2px; }
.text table { border-collapse: collapse; max-width: 100%; } .text td, .text th { border: 1px solid #3b414b; padding: 3px 6px; }
.text.plain { white-space: pre-line; }
/* A short pane: smaller lines, so that more of them fit. */
@media (max-height: 420px) {
  .head .inner { padding-top: 6px; padding-bottom: 6px; }
  .text { font-size: 14px; line-height: 1.45; padding-top: 8px; }
}
        </style>
      </head>
      <body>
        <div class="head">
          <div class="inner">
            <xsl:if test="$channelName or $channelImage">
              <div class="channel">
                <xsl:if test="$channelImage">
                  <xsl:variable name="src" select="normalize-space($channelImage)"/>
                  <xsl:variable name="scheme" select="translate(substring($src, 1, 8), 'HTPS', 'htps')"/>
                  <xsl:if test="starts-with($scheme, 'http://') or starts-with($scheme, 'https://')">
                    <img src="{$src}" alt=""/>
                  </xsl:if>
                </xsl:if>
                <a>
                  <xsl:call-template name="href"><xsl:with-param name="url" select="$channelLink"/></xsl:call-template>
                  <xsl:value-of select="$channelName"/>
                </a>
              </div>
            </xsl:if>
            <xsl:choose>
              <xsl:when test="$item">
                <xsl:apply-templates select="$item" mode="head"/>
              </xsl:when>
              <xsl:otherwise>
                <p class="empty">Wybrana wiadomość nie jest już dostępna.</p>
              </xsl:otherwise>
            </xsl:choose>
          </div>
        </div>
        <xsl:apply-templates select="$item" mode="body"/>
      </body>
    </html>
  </xsl:template>

  <!-- Title, date, author, categories and attachments: plain text, never markup. -->
  <xsl:template match="*" mode="head">
    <xsl:variable name="title" select="normalize-space(*[local-name()='title'])"/>
    <xsl:variable name="pubDate" select="normalize-space(*[local-name()='pubDate'])"/>
    <xsl:variable name="dcDate" select="normalize-space(*[local-name()='date'])"/>
    <xsl:variable name="creator" select="normalize-space(*[local-name()='creator'])"/>
    <xsl:variable name="author" select="normalize-space(*[local-name()='author'])"/>
    <h1>
      <a>
        <xsl:call-template name="href"><xsl:with-param name="url" select="*[local-name()='link']"/></xsl:call-template>
        <xsl:choose>
          <xsl:when test="$title"><xsl:value-of select="$title"/></xsl:when>
          <xsl:otherwise>(bez tytułu)</xsl:otherwise>
        </xsl:choose>
      </a>
    </h1>
    <div class="meta">
      <xsl:choose>
        <xsl:when test="$pubDate"><span>Opublikowano: <xsl:value-of select="$pubDate"/></span></xsl:when>
        <xsl:when test="$dcDate"><span>Opublikowano: <xsl:call-template name="date"><xsl:with-param name="text" select="$dcDate"/></xsl:call-template></span></xsl:when>
      </xsl:choose>
      <xsl:choose>
        <xsl:when test="$creator"><span>Autor: <xsl:value-of select="$creator"/></span></xsl:when>
        <xsl:when test="contains($author, '(') and contains(substring-after($author, '('), ')')">
          <span>Autor: <xsl:value-of select="normalize-space(substring-before(substring-after($author, '('), ')'))"/></span>
        </xsl:when>
        <xsl:when test="$author"><span>Autor: <xsl:value-of select="$author"/></span></xsl:when>
      </xsl:choose>
      <xsl:if test="*[local-name()='category' or local-name()='subject'][normalize-space()]">
        <span>Kategorie: <xsl:for-each select="*[local-name()='category' or local-name()='subject'][normalize-space()]">
          <xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="normalize-space()"/>
        </xsl:for-each></span>
      </xsl:if>
    </div>
    <xsl:variable name="files" select="*[local-name()='enclosure'][normalize-space(@url | @*[local-name()='resource'])]"/>
    <xsl:if test="$files">
      <ul class="files">
        <xsl:for-each select="$files">
          <xsl:variable name="url" select="normalize-space(@url | @*[local-name()='resource'])"/>
          <xsl:variable name="type" select="normalize-space(@type)"/>
          <li>
            <span class="kind">
              <xsl:choose>
                <xsl:when test="starts-with($type, 'audio/')">Nagranie: </xsl:when>
                <xsl:when test="starts-with($type, 'video/')">Film: </xsl:when>
                <xsl:when test="starts-with($type, 'image/')">Obraz: </xsl:when>
                <xsl:otherwise>Załącznik: </xsl:otherwise>
              </xsl:choose>
            </span>
            <a>
              <xsl:call-template name="href"><xsl:with-param name="url" select="$url"/></xsl:call-template>
              <xsl:call-template name="file-name"><xsl:with-param name="url" select="$url"/></xsl:call-template>
            </a>
            <xsl:variable name="size"><xsl:call-template name="size"><xsl:with-param name="bytes" select="normalize-space(@length)"/></xsl:call-template></xsl:variable>
            <xsl:if test="$type or string($size)">
              <span class="about"> (<xsl:value-of select="$type"/><xsl:if test="$type and string($size)">, </xsl:if><xsl:value-of select="$size"/>)</span>
            </xsl:if>
          </li>
        </xsl:for-each>
      </ul>
    </xsl:if>
    <xsl:if test="not(normalize-space(*[local-name()='encoded']) or normalize-space(*[local-name()='description']))">
      <p class="empty">Ta wiadomość nie ma treści.</p>
    </xsl:if>
  </xsl:template>

  <!-- The item's own text (the full text when the channel gives one): as text for the program
       to lay into the page, or in a sandboxed frame. -->
  <xsl:template match="*" mode="body">
    <xsl:variable name="encoded" select="*[local-name()='encoded'][namespace-uri()='http://purl.org/rss/1.0/modules/content/'][normalize-space()][1]"/>
    <xsl:variable name="text">
      <xsl:choose>
        <xsl:when test="$encoded"><xsl:value-of select="$encoded"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="*[local-name()='description'][1]"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="link" select="normalize-space(*[local-name()='link'])"/>
    <xsl:variable name="scheme" select="translate(substring($link, 1, 8), 'HTPS', 'htps')"/>
    <xsl:variable name="folded" select="translate($text, 'ABCDEFGHIJKLMNOPQRSTUVWXYZbcdefghijklmnopqrstuvwxyz', 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa')"/>
    <!-- Markup as a browser reads it: a "<" that opens a tag, an end tag, a comment or a
         declaration. "3 < 5" is text. The program's find uses the same rule. -->
    <xsl:variable name="markup" select="contains($folded, '&lt;a') or contains($text, '&lt;/') or contains($text, '&lt;!') or contains($text, '&lt;?')"/>
    <xsl:if test="normalize-space($text) and $inPage">
      <div class="content">
        <div>
          <xsl:attribute name="class">text<xsl:if test="not($markup)"> plain</xsl:if></xsl:attribute>
          <xsl:attribute name="data-kv-text">
            <xsl:choose>
              <xsl:when test="$markup">markup</xsl:when>
              <xsl:otherwise>plain</xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
          <xsl:value-of select="$text"/>
        </div>
      </div>
    </xsl:if>
    <xsl:if test="normalize-space($text) and not($inPage)">
      <iframe class="content" title="Treść wiadomości" sandbox="allow-top-navigation-by-user-activation allow-popups">
        <xsl:attribute name="srcdoc">
          <xsl:text>&lt;!DOCTYPE html&gt;&lt;html lang="pl"&gt;&lt;head&gt;&lt;meta charset="utf-8"&gt;&lt;base target="_top"</xsl:text>
          <!-- Relative addresses in the text belong to the item's site. -->
          <xsl:if test="starts-with($scheme, 'http://') or starts-with($scheme, 'https://')">
            <xsl:text> href="</xsl:text><xsl:value-of select="translate($link, '&quot;&lt;&gt;', '')"/><xsl:text>"</xsl:text>
          </xsl:if>
          <xsl:text>&gt;&lt;style&gt;</xsl:text>
          <xsl:text>html { background: #17191e; color-scheme: dark; }
body { max-width: 720px; margin: 0 auto; padding: 14px 24px 32px 24px; color: #d8dbe1;
       font-family: "Noto Sans", "DejaVu Sans", "Segoe UI", Tahoma, Arial, sans-serif;
       font-size: 15px; line-height: 1.6; overflow-wrap: break-word; }
a { color: #84b4f0; }
img, video, svg, canvas, iframe, embed, object { max-width: 100%; height: auto; }
figure { margin: 1em 0; } figcaption { color: #9ba4b3; font-size: 13px; }
h1, h2, h3, h4 { line-height: 1.3; color: #aac8f6; } h1 { font-size: 20px; } h2 { font-size: 18px; } h3 { font-size: 16px; }
blockquote { margin: 1em 0; padding: 2px 14px; border-left: 3px solid #4b5361; color: #bac1cc; }
pre { white-space: pre-wrap; background: #1f2228; padding: 8px 10px; }
code { background: #1f2228; padding: 0 2px; }
table { border-collapse: collapse; max-width: 100%; } td, th { border: 1px solid #3b414b; padding: 3px 6px; }
.plain { white-space: pre-line; }
</xsl:text>
          <xsl:text>&lt;/style&gt;&lt;/head&gt;&lt;body&gt;</xsl:text>
          <xsl:choose>
            <xsl:when test="$markup"><xsl:value-of select="$text"/></xsl:when>
            <!-- Text without tags keeps its line breaks, and its references ("&#8222;",
                 "&amp;") stand for the characters the channel meant: it goes in as it is. -->
            <xsl:otherwise>
              <xsl:text>&lt;div class="plain"&gt;</xsl:text>
              <xsl:value-of select="$text"/>
              <xsl:text>&lt;/div&gt;</xsl:text>
            </xsl:otherwise>
          </xsl:choose>
          <xsl:text>&lt;/body&gt;&lt;/html&gt;</xsl:text>
        </xsl:attribute>
      </iframe>
    </xsl:if>
  </xsl:template>

  <!-- An href only for web addresses: no script, file or other address gets a link. -->
  <xsl:template name="href">
    <xsl:param name="url"/>
    <xsl:variable name="u" select="normalize-space($url)"/>
    <xsl:variable name="scheme" select="translate(substring($u, 1, 8), 'HTPS', 'htps')"/>
    <xsl:if test="starts-with($scheme, 'http://') or starts-with($scheme, 'https://')">
      <xsl:attribute name="href"><xsl:value-of select="$u"/></xsl:attribute>
    </xsl:if>
  </xsl:template>

  <!-- "2004-02-03T10:15:00+01:00" as "2004-02-03 10:15". -->
  <xsl:template name="date">
    <xsl:param name="text"/>
    <xsl:choose>
      <xsl:when test="contains($text, 'T') and string-length(substring-before($text, 'T')) = 10">
        <xsl:value-of select="concat(substring-before($text, 'T'), ' ', substring(substring-after($text, 'T'), 1, 5))"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="file-name">
    <xsl:param name="url"/>
    <xsl:variable name="path" select="substring-before(concat(substring-before(concat($url, '?'), '?'), '#'), '#')"/>
    <xsl:choose>
      <xsl:when test="contains($path, '/') and substring-after($path, '/') != ''">
        <xsl:call-template name="file-name"><xsl:with-param name="url" select="substring-after($path, '/')"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$path != ''"><xsl:value-of select="$path"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$url"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="size">
    <xsl:param name="bytes"/>
    <xsl:choose>
      <xsl:when test="not(number($bytes) &gt; 0)"/>
      <xsl:when test="$bytes &gt;= 1073741824"><xsl:value-of select="format-number($bytes div 1073741824, '0,0', 'pl')"/> GB</xsl:when>
      <xsl:when test="$bytes &gt;= 1048576"><xsl:value-of select="format-number($bytes div 1048576, '0,0', 'pl')"/> MB</xsl:when>
      <xsl:when test="$bytes &gt;= 1024"><xsl:value-of select="format-number($bytes div 1024, '0', 'pl')"/> kB</xsl:when>
      <xsl:otherwise><xsl:value-of select="format-number($bytes, '0', 'pl')"/> B</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

</xsl:stylesheet>
