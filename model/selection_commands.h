// The captioned editing commands on a page's selection (methods of
// TSelectedObjects, implemented in selection_commands.cpp): their history
// captions. Each command is one history command; it is cancelled when
// anything raises (the exception passes on) and leaves no command when it
// changes nothing.
#pragma once

#include "model/selection.h"

// Captions of the new-item command by the item's exact class.
inline constexpr const char* CaptionNewPolyLine = "線図形の作成";
inline constexpr const char* CaptionNewEllipse = "楕円図形の作成";
inline constexpr const char* CaptionNewRect = "四角形図形の作成";
inline constexpr const char* CaptionNewPolygon = "多角形図形の作成";
inline constexpr const char* CaptionNewStar = "星型図形の作成";
inline constexpr const char* CaptionNewText = "テキスト図形の作成";

inline constexpr const char* CaptionCut = "切り取り";
inline constexpr const char* CaptionCopy = "コピー";
inline constexpr const char* CaptionUngroup = "グループ化解除";
inline constexpr const char* CaptionToPolyLine = "線図形化";
inline constexpr const char* CaptionMergeLines = "線合成";
inline constexpr const char* CaptionUnmergeLines = "線合成解除";
inline constexpr const char* CaptionNodeSharp = "ノード突化";
inline constexpr const char* CaptionNodeSmooth = "ノードスムース化";
inline constexpr const char* CaptionNodeSymmetric = "ノード対象化";
inline constexpr const char* CaptionDeleteNodes = "選択ノードの削除";
inline constexpr const char* CaptionJoinEndNodes = "端点連結";

// Captions the document window passes (its actions' captions).
inline constexpr const char* CaptionDelete = "選択図形の削除";
inline constexpr const char* CaptionPaste = "貼り付け(&P)";
inline constexpr const char* CaptionDuplicate = "複製(U)";
inline constexpr const char* CaptionMove = "選択図形の移動";
inline constexpr const char* CaptionScale = "選択図形の拡大／縮小";
inline constexpr const char* CaptionRotate = "選択図形の回転";

// JoinEndNodes' messages to the user.
inline constexpr const char* MsgSelectTwoEndNodes = "２つの端点ノードを選択してください";
inline constexpr const char* MsgSelectLineEnds = "線の端点のノードを選択してください";
inline constexpr const char* MsgClosedFigure = "閉図形は連結できません";

// Shown when another window holds the clipboard.
inline constexpr const char* MsgClipboardBusy = "クリップボードは使用中です。";
